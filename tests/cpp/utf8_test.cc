// Tables of inputs and wanted results for the UTF-8 primitives of
// core/text/: decoding and encoding valid text, the seeks through it, and the
// validation of bytes from outside (overlong forms, surrogates, values past
// U+10FFFF, stray and missing continuation bytes), each ill-formed sequence
// also placed at every offset of a 32-byte block for is_valid_long.

#include "core/text/utf8.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/utf8_validate.h"
#include "tests/cpp/check.h"

namespace {

namespace utf8 = zenkor::text::utf8;
using zenkor::test::hex;

constexpr std::size_t NPOS = std::string_view::npos;

struct Decoded {
  std::string_view bytes;
  std::u32string_view chars;
};

// Every length of sequence at both ends of its range.
constexpr Decoded DECODED[] = {
    {"", U""},
    {"a\x7F", U"a\x7F"},
    {"\xC2\x80\xDF\xBF", U"\u0080\u07FF"},
    {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", U"\u0800\uD7FF\uE000\uFFFF"},
    {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", U"\U00010000\U0010FFFF"},
    {"aアé😊日", U"aアé😊日"},
};

void test_decode_and_encode() {
  for (const auto& [bytes, chars] : DECODED) {
    std::u32string forward;
    for (std::size_t pos = 0; pos < bytes.size();) {
      const std::size_t before = pos;
      forward.push_back(utf8::next(bytes, pos));
      CHECK(pos - before == utf8::sequence_length(static_cast<unsigned char>(bytes[before])));
      CHECK(pos - before == utf8::encoded_length(forward.back()));
    }
    std::u32string backward;
    for (std::size_t pos = bytes.size(); pos > 0;) backward.insert(backward.begin(), utf8::prev(bytes, pos));
    std::string encoded;
    for (const char32_t c : chars) utf8::append(encoded, c);
    if (!CHECK(forward == chars && backward == chars && encoded == bytes && utf8::decode(bytes) == chars &&
               utf8::length(bytes) == chars.size())) {
      std::fprintf(stderr, "  text %s\n", hex(bytes).c_str());
    }
  }
}

struct Seek {
  std::string_view text;
  std::size_t pos;
  std::size_t want;
};

void test_boundary_at_or_after() {
  // "aé😊": a at 0, é at 1-2, 😊 at 3-6.
  constexpr Seek CASES[] = {{"a\xC3\xA9\xF0\x9F\x98\x8A", 0, 0}, {"a\xC3\xA9\xF0\x9F\x98\x8A", 1, 1},
                            {"a\xC3\xA9\xF0\x9F\x98\x8A", 2, 3}, {"a\xC3\xA9\xF0\x9F\x98\x8A", 4, 7},
                            {"a\xC3\xA9\xF0\x9F\x98\x8A", 6, 7}, {"a\xC3\xA9\xF0\x9F\x98\x8A", 7, 7},
                            {"a\xC3\xA9\xF0\x9F\x98\x8A", 9, 7}, {"", 0, 0}};
  for (const auto& [text, pos, want] : CASES) {
    if (!CHECK(utf8::boundary_at_or_after(text, pos) == want))
      std::fprintf(stderr, "  at %zu of %s\n", pos, hex(text).c_str());
  }
}

void test_next_three_byte() {
  constexpr Seek CASES[] = {
      {"", 0, 0}, {"ab", 0, 2}, {"a\xC3\xA9日", 0, 3}, {"😊日", 0, 4}, {"日本", 0, 0}, {"日本", 3, 3}, {"日a", 3, 4},
  };
  for (const auto& [text, pos, want] : CASES) {
    if (!CHECK(utf8::next_three_byte(text, pos) == want))
      std::fprintf(stderr, "  at %zu of %s\n", pos, hex(text).c_str());
  }
}

void test_find_char() {
  struct Case {
    std::string_view text;
    std::string_view ch;
    std::size_t pos;
    std::size_t want;
  };
  // ア is E3 82 A2; ¢ (C2 A2) and ｢ (EF BD A2) end in the same byte.
  constexpr Case CASES[] = {
      {"", "ア", 0, NPOS},    {"ア", "ア", 0, 0},          {"¢ア", "ア", 0, 2},     {"¢｢", "ア", 0, NPOS},
      {"アア", "ア", 1, 3},   {"アア", "ア", 3, 3},        {"アア", "ア", 4, NPOS}, {"aアb", "b", 0, 4},
      {"年年年", "年", 4, 6}, {"\xE3\x82", "ア", 0, NPOS},
  };
  for (const auto& [text, ch, pos, want] : CASES) {
    if (!CHECK(utf8::find_char(text, ch, pos) == want))
      std::fprintf(stderr, "  %s at %zu of %s\n", hex(ch).c_str(), pos, hex(text).c_str());
  }
}

// Runs of ASCII across the eight-byte steps, from every start.
void test_ascii_prefix() {
  for (std::size_t run = 0; run <= 20; ++run) {
    for (std::size_t start = 0; start <= run; ++start) {
      const std::string text = std::string(run, 'x') + "日" + std::string(9, 'y');
      if (!CHECK(utf8::ascii_prefix(text, start) == run - start))
        std::fprintf(stderr, "  run %zu from %zu\n", run, start);
    }
    CHECK(utf8::ascii_prefix(std::string(run, 'x'), 0) == run);
  }
}

struct Validity {
  std::string_view bytes;
  bool valid;
};

constexpr Validity VALIDITY[] = {
    // Well-formed: the bounds of table 3-7.
    {std::string_view("\0", 1), true},
    {"\x7F", true},
    {"\xC2\x80", true},
    {"\xDF\xBF", true},
    {"\xE0\xA0\x80", true},
    {"\xE1\x80\x80", true},
    {"\xEC\xBF\xBF", true},
    {"\xED\x80\x80", true},
    {"\xED\x9F\xBF", true},
    {"\xEE\x80\x80", true},
    {"\xEF\xBF\xBF", true},
    {"\xF0\x90\x80\x80", true},
    {"\xF3\xBF\xBF\xBF", true},
    {"\xF4\x80\x80\x80", true},
    {"\xF4\x8F\xBF\xBF", true},
    // Overlong forms.
    {"\xC0\x80", false},
    {"\xC1\xBF", false},
    {"\xE0\x80\x80", false},
    {"\xE0\x9F\xBF", false},
    {"\xF0\x80\x80\x80", false},
    {"\xF0\x8F\xBF\xBF", false},
    // Surrogates.
    {"\xED\xA0\x80", false},
    {"\xED\xAF\xBF", false},
    {"\xED\xB0\x80", false},
    {"\xED\xBF\xBF", false},
    // Past U+10FFFF, and bytes that start nothing.
    {"\xF4\x90\x80\x80", false},
    {"\xF5\x80\x80\x80", false},
    {"\xF8\x88\x80\x80\x80", false},
    {"\xFE", false},
    {"\xFF", false},
    // Stray continuation bytes.
    {"\x80", false},
    {"\xBF", false},
    {"a\x80", false},
    {"\xC3\xA9\xA9", false},
    {"\xE6\x97\xA5\x80", false},
    // Sequences cut short, at the end or before another character.
    {"\xC3", false},
    {"\xE6\x97", false},
    {"\xE6", false},
    {"\xF0\x9F\x98", false},
    {"\xF0\x9F", false},
    {"\xE6\x97"
     "a",
     false},
    {"\xE6\x97\xE6\x97\xA5", false},
    {"\xF0\x9F\x98"
     "a",
     false},
    {"\xC3\xE6\x97\xA5", false},
    // A three-byte lead whose continuation bytes are ASCII, where is_valid takes its short path.
    {"\xE6"
     "ab",
     false},
    {"\xE6\x97"
     "b",
     false},
};

void test_validity() {
  // Each sequence alone, after every offset of ASCII or of three-byte kana
  // (is_valid's short path), and with text after it.
  for (const auto& [bytes, valid] : VALIDITY) {
    for (std::size_t offset = 0; offset < 40; ++offset) {
      for (const std::string_view filler : {"a", "\xE3\x81\x82"}) {
        std::string text;
        while (text.size() < offset) text += filler;
        text += bytes;
        for (const std::string& t : {text, text + "z", text + "\xE3\x81\x82\xE3\x81\x82"}) {
          // Text after a sequence cut short does not mend it.
          if (!CHECK(utf8::is_valid(t) == valid && utf8::is_valid_long(t) == valid)) {
            std::fprintf(stderr, "  %s: want %s\n", hex(t).c_str(), valid ? "valid" : "invalid");
            return;
          }
        }
      }
    }
  }
}

void test_well_formed_prefix() {
  struct Case {
    std::string_view bytes;
    std::size_t pos;
    std::size_t want;
    std::size_t want_full;
  };
  constexpr Case CASES[] = {
      {"a", 0, 1, 1},
      {"\xC3\xA9", 0, 2, 2},
      {"\xE6\x97\xA5", 0, 3, 3},
      {"\xF0\x9F\x98\x8A", 0, 4, 4},
      {"\xF0\x9F\x98", 0, 3, 4},  // cut short at the end
      {"\xE6\x97"
       "a",
       0, 2, 3},                      // cut short by ASCII
      {"\xE0\x9F\x80", 0, 1, 3},      // overlong: only the lead
      {"\xED\xA0\x80", 0, 1, 3},      // surrogate: only the lead
      {"\xF4\x90\x80\x80", 0, 1, 4},  // past U+10FFFF: only the lead
      {"\x80", 0, 0, 0},              // starts nothing
      {"\xC1\xBF", 0, 0, 0},
      {"\xF5\x80", 0, 0, 0},
      {"a\xC3\xA9", 1, 2, 2},
  };
  for (const auto& [bytes, pos, want, want_full] : CASES) {
    std::size_t full = 99;
    if (!CHECK(utf8::well_formed_prefix(bytes, pos, full) == want && full == want_full)) {
      std::fprintf(stderr, "  at %zu of %s\n", pos, hex(bytes).c_str());
    }
  }
}

// One U+FFFD for each stray byte or maximal start of a sequence cut short,
// as Python's bytes.decode("utf-8", "replace") writes them.
void test_to_valid_lossy() {
  struct Case {
    std::string_view bytes;
    std::string_view want;
  };
  constexpr Case CASES[] = {
      {"", ""},
      {"日本a", "日本a"},
      {"a\x80"
       "b",
       "a\uFFFD"
       "b"},
      {"\xE3\x81", "\uFFFD"},
      {"\xE3\x81"
       "a",
       "\uFFFD"
       "a"},
      {"\xF0\x80\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xF0\x9F\x98\x8A\xFF", "😊\uFFFD"},
      {"\xF0\x9F\x98", "\uFFFD"},
  };
  for (const auto& [bytes, want] : CASES) {
    const std::string got = utf8::to_valid_lossy(bytes);
    if (!CHECK(got == want && utf8::is_valid(got)))
      std::fprintf(stderr, "  %s gave %s\n", hex(bytes).c_str(), hex(got).c_str());
  }
}

}  // namespace

int main() {
  test_decode_and_encode();
  test_boundary_at_or_after();
  test_next_three_byte();
  test_find_char();
  test_ascii_prefix();
  test_validity();
  test_well_formed_prefix();
  test_to_valid_lossy();
  return zenkor::test::finish();
}
