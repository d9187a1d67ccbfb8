// Case conversion of a text in pieces against one call over the whole text,
// on random Greek and Latin words where the final-sigma rule looks across the
// places a piece could end.

#include <random>
#include <string>
#include <vector>

#include "core/l1_char/case.h"
#include "core/text/utf8.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::CaseAction;
using zenkor::l1_char::case_::convert;
using zenkor::l1_char::case_::convert_in_pieces;

std::string whole(const std::string& text, CaseAction action) {
  std::string out;
  convert(text, out, action);
  return out;
}

std::string in_pieces(const std::string& text, CaseAction action, std::size_t max_piece) {
  std::string out;
  convert_in_pieces(text, out, action, max_piece);
  return out;
}

// Words of cased and case-ignorable characters (at most 6 bytes) between
// characters that stop case context, so every piece of 12 bytes or more has a
// place to end that the final-sigma rule does not look across.
std::string random_text(std::mt19937& rng) {
  static const std::vector<std::string> word_chars = {"Σ", "Α", "σ", "'", ".", "İ", "ß", "\u0301", "a", "Z"};
  static const std::vector<std::string> stops = {" ", "1", "日", "-", "\U00020BB7"};
  std::string text;
  const int words = std::uniform_int_distribution<int>(1, 12)(rng);
  for (int w = 0; w < words; ++w) {
    const int length = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int i = 0; i < length; ++i) text += word_chars[rng() % word_chars.size()];
    text += stops[rng() % stops.size()];
  }
  return text;
}

void test_fixed_cases() {
  // A cut right after Σ would see no letter after it and write ς.
  CHECK(in_pieces("ΑΣ'Α ΑΣ'Α ΑΣ", CaseAction::Lower, 12) == "ασ'α ασ'α ας");
  CHECK(in_pieces("ΑΣ ΣΑ", CaseAction::Lower, 4) == "ας σα");
  CHECK(in_pieces("straße straße", CaseAction::Upper, 4) == "STRASSE STRASSE");
  CHECK(in_pieces("", CaseAction::Lower, 4).empty());
  CHECK(in_pieces("ΑΣ", CaseAction::Keep, 4) == "ΑΣ");
}

void test_pieces_match_whole() {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng);
    const std::size_t max_piece = std::uniform_int_distribution<std::size_t>(12, 24)(rng);
    for (const CaseAction action : {CaseAction::Lower, CaseAction::Upper}) {
      if (!CHECK(in_pieces(text, action, max_piece) == whole(text, action))) {
        std::fprintf(stderr, "  text %s, pieces of %zu\n", text.c_str(), max_piece);
        return;
      }
    }
  }
}

// Without a place where case context stops, pieces end at character
// boundaries and no text is lost.
void test_long_words_lose_nothing() {
  std::string letters;
  for (int i = 0; i < 1000; ++i) letters += "İ𐐀Ab";
  for (const std::size_t max_piece : {4, 5, 7, 64}) {
    CHECK(in_pieces(letters, CaseAction::Lower, max_piece) == whole(letters, CaseAction::Lower));
    CHECK(in_pieces(letters, CaseAction::Upper, max_piece) == whole(letters, CaseAction::Upper));
  }
}

// Every character alone: the mapping that skips the case mapper for
// characters it does not change gives what the mapper gives, and a
// character that is no trigger maps to itself.
void test_every_character() {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string text;
    zenkor::text::utf8::append(text, c);
    for (const CaseAction action : {CaseAction::Lower, CaseAction::Upper}) {
      const std::string mapped = whole(text, action);
      const bool same = mapped == in_pieces(text, action, 1 << 20);
      const bool kept = zenkor::l1_char::case_::convert_trigger(c, action) || mapped == text;
      if (!CHECK(same && kept)) {
        std::fprintf(stderr, "  U+%04X\n", static_cast<unsigned>(c));
        return;
      }
    }
  }
}

}  // namespace

int main() {
  test_every_character();
  test_fixed_cases();
  test_pieces_match_whole();
  test_long_words_lose_nothing();
  return zenkor::test::finish();
}
