// NFKC of a text in pieces against one call over the whole text, on random
// text dense in characters that compose, reorder or expand across the places
// a piece could end.

#include <random>
#include <string>
#include <vector>

#include "core/l1_char/unicode.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::l1_char::unicode::nfkc;
using zenkor::l1_char::unicode::nfkc_in_pieces;

std::string whole(const std::string& text) {
  std::string out;
  nfkc(text, out);
  return out;
}

std::string in_pieces(const std::string& text, std::size_t max_piece) {
  std::string out;
  nfkc_in_pieces(text, out, max_piece);
  return out;
}

// Units of a base and up to two marks (at most 10 bytes), so every piece of
// 12 bytes or more has a place to end where no composition or reordering
// reaches across.  The marks are of different classes and include conjoining
// jamo and the sound marks in all their forms; some bases expand or are kept
// as written.
std::string random_text(std::mt19937& rng) {
  static const std::vector<std::string> bases = {"a", "e", "か", "ｶ", "ﾊ", "\u1100", "가", "Å", "ﬁ",
                                                 "㍻", "①", "¨", "\u1e9b", "𝐀", " ", "日"};
  static const std::vector<std::string> marks = {"\u3099", "\u309a", "゛", "ﾞ", "ﾟ", "\u0301",
                                                 "\u0323", "\u0308", "\u1161", "\u11a8"};
  std::string text;
  const int units = std::uniform_int_distribution<int>(0, 12)(rng);
  for (int u = 0; u < units; ++u) {
    text += bases[rng() % bases.size()];
    const int count = std::uniform_int_distribution<int>(0, 2)(rng);
    for (int i = 0; i < count; ++i) text += marks[rng() % marks.size()];
  }
  return text;
}

void test_fixed_cases() {
  // A cut between a base and its mark, or inside a jamo syllable, would keep
  // them apart.
  CHECK(in_pieces("か゛か゛か゛", 6) == "ががが");
  CHECK(in_pieces("\u1100\u1161\u11a8\u1100\u1161", 9) == "각가");
  CHECK(in_pieces("e\u0323\u0301e\u0301\u0323", 5) == "\u1eb9\u0301\u1eb9\u0301");
  CHECK(in_pieces("", 4).empty());
}

void test_pieces_match_whole() {
  std::mt19937 rng(20240602);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = random_text(rng);
    const std::size_t max_piece = std::uniform_int_distribution<std::size_t>(12, 24)(rng);
    if (!CHECK(in_pieces(text, max_piece) == whole(text))) {
      std::fprintf(stderr, "  text %s, pieces of %zu\n", text.c_str(), max_piece);
      return;
    }
  }
}

// A run with no normalization boundary is cut at character boundaries and
// loses nothing.
void test_long_mark_runs_lose_nothing() {
  std::string marks = "a";
  for (int i = 0; i < 1000; ++i) marks += "\u0301";
  for (const std::size_t max_piece : {4, 5, 7, 64}) CHECK(in_pieces(marks, max_piece) == whole(marks));
}

}  // namespace

int main() {
  test_fixed_cases();
  test_pieces_match_whole();
  test_long_mark_runs_lose_nothing();
  return zenkor::test::finish();
}
