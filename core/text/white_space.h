// Unicode White_Space, and trimming it from either end of a text (the trim
// option, and the fields of dictionary files).
#pragma once

#include <cstddef>
#include <string_view>

#include "core/text/utf8.h"

namespace zenkor::text {

// The characters of the White_Space property (PropList.txt), written out so
// that the test costs a few comparisons and no table or library call;
// tests/cpp/white_space_test.cc checks the list against ICU's data.
[[nodiscard]] constexpr bool is_white_space(char32_t c) noexcept {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// `s` without its leading White_Space.  REQUIRES: s is valid UTF-8.
[[nodiscard]] inline std::string_view trim_white_space_front(std::string_view s) noexcept {
  std::size_t start = 0;
  while (start < s.size()) {
    std::size_t pos = start;
    if (!is_white_space(utf8::next(s, pos))) break;
    start = pos;
  }
  return s.substr(start);
}

// `s` without its trailing White_Space.  REQUIRES: s is valid UTF-8.
[[nodiscard]] inline std::string_view trim_white_space_back(std::string_view s) noexcept {
  std::size_t end = s.size();
  while (end > 0) {
    std::size_t pos = end;
    if (!is_white_space(utf8::prev(s, pos))) break;
    end = pos;
  }
  return s.substr(0, end);
}

// `s` without White_Space at either end.  REQUIRES: s is valid UTF-8.
[[nodiscard]] inline std::string_view trim_white_space(std::string_view s) noexcept {
  return trim_white_space_back(trim_white_space_front(s));
}

}  // namespace zenkor::text
