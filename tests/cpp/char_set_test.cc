// CharSet against a plain list of its ranges: membership at the edges of
// every range, in the Basic Multilingual Plane and past it; skip() never
// passing a member and never stopping at ASCII or three-byte characters
// outside the set; and the limits that make a fixed table fail the build.

#include "core/text/char_set.h"

#include <cstddef>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/text/utf8.h"
#include "tests/cpp/check.h"

namespace {

using zenkor::text::CharSet;
using zenkor::text::Range;
namespace utf8 = zenkor::text::utf8;

// Ranges that share blocks of 64, lead bytes and planes with non-members.
const std::vector<Range> RANGES = {
    {0x00, 0x08},      {U'A', U'Z'},       {0x7F, 0x9F},       {0x3041, 0x3096},     {0x30FC, 0x30FC},
    {0xFFF0, 0x10010}, {0x1F300, 0x1F64F}, {0x20000, 0x2FFFF}, {0x10FFFF, 0x10FFFF},
};

const CharSet SET = [] {
  CharSet set;
  for (const Range& r : RANGES) set.add(r.first, r.last);
  return set;
}();

bool in_ranges(char32_t c) {
  for (const Range& r : RANGES) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

void test_membership_at_the_edges() {
  std::vector<char32_t> probes = {0x09,   U'@',    U'[',    0xA0,    0x3040,  0x3097,  0x30FB,  0x30FD,  0xFFEF,
                                  0xFFFF, 0x10000, 0x10011, 0x1F2FF, 0x1F650, 0x1FFFF, 0x30000, 0x10FFFE};
  for (const Range& r : RANGES) {
    for (const char32_t c : {char32_t(r.first - 1), r.first, r.last, char32_t(r.last + 1)}) probes.push_back(c);
  }
  for (const char32_t c : probes) {
    if (c > 0x10FFFF) continue;
    if (!CHECK(SET.contains(c) == in_ranges(c))) std::fprintf(stderr, "  U+%04X\n", static_cast<unsigned>(c));
  }
  constexpr CharSet EMPTY;
  for (const char32_t c : probes) CHECK(!EMPTY.contains(c));
  // Every code point of the plane the bits cover.
  int wrong = 0;
  for (char32_t c = 0; c < 0x10000; ++c) wrong += SET.contains(c) != in_ranges(c);
  CHECK(wrong == 0);
}

// Texts of members and non-members of every length of sequence, some
// non-members sharing a lead byte with members (à with the controls up to
// U+009F, ぁ's neighbour ゗, U+1F650 beside the emoji).
std::string random_text(std::mt19937& rng, std::vector<std::size_t>& starts) {
  static const std::vector<char32_t> chars = {U'a',    U'A',    U'Z',    0x08,    0x09,    0x85,
                                              0xE0,    0x3041,  0x3097,  0x30FC,  0x65E5,  0xFFF5,
                                              0x10005, 0x1F600, 0x1F650, 0x20BB7, 0x10FFFF};
  std::string text;
  starts.clear();
  const int length = std::uniform_int_distribution<int>(0, 30)(rng);
  for (int i = 0; i < length; ++i) {
    starts.push_back(text.size());
    utf8::append(text, chars[rng() % chars.size()]);
  }
  return text;
}

void test_skip_stops_at_every_member_and_passes_plain_characters() {
  std::mt19937 rng(20261209);
  std::vector<std::size_t> starts;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random_text(rng, starts);
    for (const std::size_t from : starts) {
      const std::size_t stop = SET.skip(text, from);
      // The first member at or after `from`, or the end.
      std::size_t first_member = text.size();
      for (std::size_t pos = from; pos < text.size();) {
        const std::size_t at = pos;
        if (SET.contains(utf8::next(text, pos))) {
          first_member = at;
          break;
        }
      }
      bool ok = stop <= first_member &&
                (stop == text.size() || !utf8::is_continuation(static_cast<unsigned char>(text[stop])));
      // Where it stops short of a member, it stops at a character that is neither ASCII nor three bytes long.
      if (ok && stop < first_member) {
        const std::size_t length = utf8::sequence_length(static_cast<unsigned char>(text[stop]));
        ok = length == 2 || length == 4;
      }
      if (!CHECK(ok)) {
        std::fprintf(stderr, "  from %zu of %s: stopped at %zu\n", from, zenkor::test::hex(text).c_str(), stop);
        return;
      }
    }
  }
}

void test_limits() {
  CharSet full;
  for (char32_t block = 0; block < 255; ++block) full.add(block * 64 + 5);  // 255 blocks: the most it holds
  CHECK(full.contains(254 * 64 + 5) && !full.contains(254 * 64 + 4));
  bool threw = false;
  try {
    full.add(255 * 64);
  } catch (const std::length_error&) {
    threw = true;
  }
  CHECK(threw);
  CharSet astral;
  for (char32_t plane = 1; plane <= 8; ++plane) astral.add(plane * 0x10000, plane * 0x10000 + 2);
  CHECK(astral.contains(0x80001) && !astral.contains(0x80003));
  threw = false;
  try {
    astral.add(0x90000, 0x90001);
  } catch (const std::length_error&) {
    threw = true;
  }
  CHECK(threw);
}

}  // namespace

int main() {
  test_membership_at_the_edges();
  test_skip_stops_at_every_member_and_passes_plain_characters();
  test_limits();
  return zenkor::test::finish();
}
