// Cutting a long text into pieces for a library that takes a bounded number
// of bytes per call (ICU's normalizer and case mapper take int32_t lengths),
// so that calling it piece by piece gives the result of one call.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/text/utf8.h"

namespace zenkor::text {

// Length of the first piece of `text` when a library takes at most
// `max_piece` bytes at a time: all of `text` when it fits; else up to the last
// character in reach before which `cuts_cleanly` holds (searching back at most
// 1 MiB), so that the pieces give the result of one call; else, for a text
// with no such character near the limit, the last character boundary in reach.
// REQUIRES: max_piece >= 4; text is valid UTF-8.
template <typename Predicate>
[[nodiscard]] std::size_t piece_length(std::string_view text, std::size_t max_piece, Predicate cuts_cleanly) {
  if (text.size() <= max_piece) return text.size();
  constexpr std::size_t MAX_SEARCH = std::size_t{1} << 20;
  std::size_t boundary = max_piece;
  while (utf8::is_continuation(static_cast<unsigned char>(text[boundary]))) --boundary;
  const std::size_t search_from = boundary > MAX_SEARCH ? boundary - MAX_SEARCH : 0;
  for (std::size_t pos = boundary; pos > search_from; (void)utf8::prev(text, pos)) {
    std::size_t at = pos;
    if (cuts_cleanly(utf8::next(text, at))) return pos;
  }
  return boundary;
}

}  // namespace zenkor::text
