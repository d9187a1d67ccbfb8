// Finds the parts of a text that must reach the output exactly as written
// (URLs, e-mail addresses, mentions, hashtags) and cuts the text around them.
//
// Recognition is ASCII-based and works on bytes: every byte of a multi-byte
// UTF-8 character belongs to no class, so a URL ends before Japanese text and
// a mention right after Japanese text is still found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zenkor::l4_extra::protect {

enum class Kind : std::uint8_t { Url = 0, Email = 1, Mention = 2, Hashtag = 3 };

// Byte offsets [start, end) into the text, on character boundaries.
struct Span {
  std::size_t start;
  std::size_t end;
  Kind kind;
};

// A slice of the text: protected when it has a kind, plain otherwise.
struct Piece {
  std::string_view text;
  std::optional<Kind> kind;
};

// The spans of the enabled kinds, in ascending order and never overlapping.
// With every flag off the text is not read.
[[nodiscard]] std::vector<Span> scan(std::string_view text, bool urls, bool emails, bool mentions, bool hashtags);

// The text cut into plain and protected pieces, in text order; empty plain
// pieces are left out.  Together the pieces hold every byte exactly once.
// REQUIRES: `spans` ascending and non-overlapping, as scan returns them.
[[nodiscard]] std::vector<Piece> segment(std::string_view text, const std::vector<Span>& spans);

}  // namespace zenkor::l4_extra::protect
