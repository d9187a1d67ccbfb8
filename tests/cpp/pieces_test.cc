// piece_length on small limits: a text that fits is one piece; a longer one
// ends before the last character in reach where a cut is clean, or, with no
// such character in the last MiB, at the last character boundary in reach;
// a piece never ends inside a character.

#include "core/text/pieces.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "tests/cpp/check.h"

namespace {

using zenkor::test::hex;
using zenkor::text::piece_length;

// A cut is clean before a space.
bool before_space(char32_t c) { return c == U' '; }

void test_piece_lengths() {
  struct Case {
    std::string_view text;
    std::size_t max_piece;
    std::size_t want;
  };
  constexpr Case CASES[] = {
      {"", 4, 0},           {"abcd", 4, 4},     // fits
      {"ab cd", 4, 2},                          // before the space
      {"a b c d e", 6, 5},                      // before the last space in reach
      {"a b c d e", 5, 5},                      // a piece may end right at the limit
      {"a b c d e", 4, 3},  {" abcdef", 4, 4},  // a cut before the first character makes no piece: the boundary
      {"abcdefgh", 4, 4},                       // no space: the limit itself, a boundary
      {"日本語です", 4, 3},                     // no space, the limit inside 本: back to its start
      {"日本語です", 5, 3}, {"日本語です", 6, 6}, {"日 本語です", 9, 3},  // before the space
      {"😊😊", 7, 4},                                                     // four-byte characters
      {"😊😊", 4, 4},
  };
  for (const auto& [text, max_piece, want] : CASES) {
    if (!CHECK(piece_length(text, max_piece, before_space) == want)) {
      std::fprintf(stderr, "  %s in pieces of %zu: %zu\n", hex(text).c_str(), max_piece,
                   piece_length(text, max_piece, before_space));
    }
  }
}

// The search for a clean place reaches back 1 MiB from the limit, no further.
void test_search_reaches_back_one_mib() {
  const std::size_t mib = std::size_t{1} << 20;
  const std::string text = "a " + std::string(mib + 10, 'x');  // the only space at byte 1
  CHECK(piece_length(text, mib, before_space) == 1);
  CHECK(piece_length(text, mib + 1, before_space) == mib + 1);
}

}  // namespace

int main() {
  test_piece_lengths();
  test_search_reaches_back_one_mib();
  return zenkor::test::finish();
}
