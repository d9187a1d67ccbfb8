// is_valid_long, which checks 32 bytes at a time where it can, against
// text::utf8::is_valid, a character at a time: on random bytes drawn mostly from
// the values where UTF-8's rules change, and on valid text with one byte
// changed, placed across every position of a 32-byte block.

#include <cstdio>
#include <random>
#include <string>

#include "core/text/utf8_validate.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::text::utf8::is_valid;
using zenkor::text::utf8::is_valid_long;

// The bytes next to every bound of the UTF-8 tables.
constexpr unsigned char EDGES[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                   0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};

bool agree(const std::string& text) {
  if (is_valid_long(text) == is_valid(text)) return true;
  std::fprintf(stderr, "  disagree on %zu bytes:", text.size());
  for (const unsigned char c : text) std::fprintf(stderr, " %02X", c);
  std::fprintf(stderr, "\n");
  return false;
}

void test_random_bytes() {
  std::mt19937 rng(20261208);
  int valid = 0;
  for (int round = 0; round < 300000; ++round) {
    const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 100)(rng);
    std::string text(length, 'a');
    const int density = std::uniform_int_distribution<int>(1, 8)(rng);  // how often a byte is not ASCII
    for (char& c : text) {
      if (static_cast<int>(rng() % 8) < density) c = static_cast<char>(EDGES[rng() % sizeof EDGES]);
    }
    valid += is_valid(text) ? 1 : 0;
    if (!CHECK(agree(text))) return;
  }
  CHECK(valid > 1000);  // valid texts were drawn too, not only broken ones
}

void test_one_byte_changed_in_valid_text() {
  const std::string pieces[] = {"a", "é", "ア", "日本", "😊", "\u0800", "\uD7FF", "\uE000", "\uFFFF", "\U00010000",
                                "\U0010FFFF"};
  std::mt19937 rng(7);
  for (int round = 0; round < 100000; ++round) {
    std::string text;
    while (text.size() < 96) text += pieces[rng() % std::size(pieces)];
    CHECK(is_valid_long(text));
    text[rng() % text.size()] = static_cast<char>(EDGES[rng() % sizeof EDGES]);
    if (!CHECK(agree(text))) return;
    text.resize(rng() % text.size());  // a sequence cut off at the end, in or out of the last block
    if (!CHECK(agree(text))) return;
  }
}

}  // namespace

int main() {
  test_random_bytes();
  test_one_byte_changed_in_valid_text();
  return zenkor::test::finish();
}
