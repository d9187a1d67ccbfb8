// Line splitting shared by the line-based dictionary formats.
//
// Lines end at U+000A, with a U+000D right before it dropped too; a final line
// without a line feed counts, and a text ending in a line feed has no empty
// line after it.  Lines are numbered from 1, every line counting, so error
// messages name the line an editor shows.  Each line is trimmed of White_Space
// at both ends; blank lines and lines starting with "#" are skipped.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/text/white_space.h"

namespace zenkor::l3_lexical::synonym::lines {

// Calls `visit(line_number, trimmed_line)` for every line that is neither
// blank nor a comment, until `visit` returns false.  Returns false when it
// was stopped.
template <typename Visit>
bool for_each_entry_line(std::string_view text, Visit&& visit) {
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = text::trim_white_space(line);
    if (line.empty() || line.front() == '#') continue;
    if (!visit(number, line)) return false;
  }
  return true;
}

}  // namespace zenkor::l3_lexical::synonym::lines
