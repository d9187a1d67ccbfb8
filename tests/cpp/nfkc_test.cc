// NFKC of a text in pieces against one call over the whole text, on random
// texts of characters that compose, reorder or decompose across the places a
// piece could end; and the generated passthrough set against ICU's own
// decompositions, whose Unicode version may be newer than the generator's.

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/l1_char/nfkc.h"
#include "core/l1_char/nfkc_passthrough.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::l1_char::nfkc::append_plain;

std::string nfkc(const std::string& text, std::size_t max_piece) {
  std::string out = "kept:";  // the function appends
  append_plain(text, out, max_piece);
  return out;
}

std::string whole(const std::string& text) { return nfkc(text, std::numeric_limits<std::int32_t>::max()); }

// Groups of a starter and up to two characters that interact with what comes
// before them (marks, vowel and trailing jamo, sound marks).  A group is at
// most 10 bytes, so every piece of 16 bytes or more has a clean place to end.
std::string random_text(std::mt19937& rng) {
  static const std::vector<std::string> starters = {"e", "a", "か", "ｶ", "ﾊ", "\u1100", "ﬁ",
                                                    "㍍", "①", "Ａ", " ", "日", "\U0001D400"};
  static const std::vector<std::string> joiners = {"\u0301", "\u0323", "\u0308", "\u3099",
                                                   "ﾞ", "ﾟ", "\u1161", "\u11A8"};
  std::string text;
  const int groups = std::uniform_int_distribution<int>(0, 12)(rng);
  for (int g = 0; g < groups; ++g) {
    text += starters[rng() % starters.size()];
    const int marks = std::uniform_int_distribution<int>(0, 2)(rng);
    for (int i = 0; i < marks; ++i) text += joiners[rng() % joiners.size()];
  }
  return text;
}

void test_fixed_cases() {
  CHECK(nfkc("", 4) == "kept:");
  CHECK(nfkc("e\u0301e\u0301e\u0301", 4) == "kept:\u00E9\u00E9\u00E9");
  CHECK(nfkc("\u1100\u1161\u11A8\u1100\u1161\u11A8", 9) == "kept:\uAC01\uAC01");
  CHECK(nfkc("ｶﾞｶﾞｶﾞ", 6) == "kept:ガガガ");
}

void test_pieces_match_whole() {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = random_text(rng);
    const std::size_t max_piece = std::uniform_int_distribution<std::size_t>(16, 40)(rng);
    if (!CHECK(nfkc(text, max_piece) == whole(text))) {
      std::fprintf(stderr, "  text %s, pieces of %zu\n", text.c_str(), max_piece);
      return;
    }
  }
}

// Without a boundary near the limit (a long run of combining marks) pieces
// end at character boundaries and nothing is lost.
void test_long_mark_runs_lose_nothing() {
  std::string text = "a";
  for (int i = 0; i < 2000; ++i) text += "\u0301";
  for (const std::size_t max_piece : {4, 5, 7, 64}) {
    const std::string out = nfkc(text, max_piece);
    CHECK(out.size() == whole(text).size());
  }
}

// The rule scripts/generate_tables.py writes the set by: a space followed by
// more, but the spacing sound marks, and four medial forms listed by hand.
void test_passthrough_matches_icu() {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkd = icu::Normalizer2::getNFKDInstance(status);
  if (!CHECK(U_SUCCESS(status))) return;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const icu::UnicodeString decomposed = nfkd->normalize(icu::UnicodeString(static_cast<UChar32>(c)), status);
    const bool puts_space = decomposed.length() > 1 && decomposed.charAt(0) == u' ';
    const bool kept_medial = c == 0xFE77 || c == 0xFE79 || c == 0xFE7B || c == 0xFE7D;
    const bool want = (puts_space && c != 0x309B && c != 0x309C) || kept_medial;
    if (!CHECK(zenkor::l1_char::nfkc::NFKC_PASSTHROUGH.contains(c) == want)) {
      std::fprintf(stderr, "  U+%04X\n", static_cast<unsigned>(c));
    }
  }
  CHECK(U_SUCCESS(status));
}

}  // namespace

int main() {
  test_passthrough_matches_icu();
  test_fixed_cases();
  test_pieces_match_whole();
  test_long_mark_runs_lose_nothing();
  return zenkor::test::finish();
}
