// White_Space as written out in core/text/white_space.h against ICU's data
// for every code point, and trimming it from either end of a text.

#include "core/text/white_space.h"

#include <unicode/uchar.h>

#include <cstdio>
#include <string_view>

#include "tests/cpp/check.h"

namespace {

using zenkor::test::hex;
using zenkor::text::is_white_space;
using zenkor::text::trim_white_space;
using zenkor::text::trim_white_space_back;
using zenkor::text::trim_white_space_front;

void test_matches_icu() {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (!CHECK(is_white_space(c) == (u_isUWhiteSpace(static_cast<UChar32>(c)) != 0))) {
      std::fprintf(stderr, "  U+%04X\n", static_cast<unsigned>(c));
    }
  }
}

void test_trimming() {
  struct Case {
    std::string_view in;
    std::string_view front;  // trim_white_space_front
    std::string_view back;   // trim_white_space_back
  };
  constexpr Case CASES[] = {
      {"", "", ""},
      {" \t\n\r\v\f", "", ""},
      {"a", "a", "a"},
      {" a b ", "a b ", " a b"},
      {"\u3000日本\u3000", "日本\u3000", "\u3000日本"},
      {"\u00A0\u2028x\u0085\u205F", "x\u0085\u205F", "\u00A0\u2028x"},
      // Not White_Space: zero width space, word joiner, Mongolian vowel separator, BOM.
      {"\u200Bx\u200B", "\u200Bx\u200B", "\u200Bx\u200B"},
      {"\u2060\u180Ex\uFEFF", "\u2060\u180Ex\uFEFF", "\u2060\u180Ex\uFEFF"},
  };
  for (const auto& [in, front, back] : CASES) {
    const std::string_view both = trim_white_space_back(front);
    if (!CHECK(trim_white_space_front(in) == front && trim_white_space_back(in) == back &&
               trim_white_space(in) == both && trim_white_space_front(back) == both)) {
      std::fprintf(stderr, "  %s\n", hex(in).c_str());
    }
  }
}

}  // namespace

int main() {
  test_matches_icu();
  test_trimming();
  return zenkor::test::finish();
}
