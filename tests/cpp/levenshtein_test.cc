// The bit-parallel distance against the two-row table, on random texts whose
// lengths sit at and around the edges of 64-row blocks and of the stripes of
// blocks swept together, over alphabets from two letters (long runs of
// matches, the carries between blocks) to thousands of characters across all
// planes (ranks past the map's first size, no matches at all).  Too many and
// too long for the Python suite's reference.
#include "core/levenshtein.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/cpp/check.h"

namespace {

std::size_t two_rows(std::u32string_view a, std::u32string_view b) {
  std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      current[j] = std::min({current[j - 1] + 1, previous[j] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::u32string random_text(std::mt19937& rng, std::size_t length, const std::u32string& alphabet) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::u32string text(length, U'\0');
  for (char32_t& c : text) c = alphabet[pick(rng)];
  return text;
}

// `text` after `edits` random insertions, deletions and substitutions: close
// texts have small distances and long diagonals, which random pairs lack.
std::u32string edited(std::mt19937& rng, std::u32string text, std::size_t edits, const std::u32string& alphabet) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (std::size_t e = 0; e < edits; ++e) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size())(rng);
    switch (rng() % 3) {
      case 0: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), alphabet[pick(rng)]); break;
      case 1: if (at < text.size()) text.erase(at, 1); break;
      default: if (at < text.size()) text[at] = alphabet[pick(rng)]; break;
    }
  }
  return text;
}

// Every 211th scalar value, surrogates skipped: about 5,000 characters from
// ASCII to the last plane.
std::u32string spread_alphabet() {
  std::u32string alphabet;
  for (char32_t c = 0; c <= 0x10FFFF; c += 211) {
    if (c < 0xD800 || c > 0xDFFF) alphabet += c;
  }
  return alphabet;
}

int failures_reported = 0;

void check_pair(const std::u32string& a, const std::u32string& b, const char* alphabet_name) {
  const std::size_t want = two_rows(a, b);
  const std::size_t got = zenkor::levenshtein(a, b);
  const std::size_t swapped = zenkor::levenshtein(b, a);
  if (!CHECK(got == want && swapped == want) && ++failures_reported <= 10) {
    std::fprintf(stderr, "  lengths %zu and %zu, alphabet %s: want %zu, got %zu and swapped %zu\n", a.size(), b.size(),
                 alphabet_name, want, got, swapped);
  }
}

}  // namespace

int main() {
  std::mt19937 rng(20240607);
  std::u32string cjk;
  for (char32_t c = 0x4E00; c < 0x4E00 + 300; ++c) cjk += c;
  const struct {
    const char* name;
    std::u32string letters;
  } alphabets[] = {
      {"two letters", U"ab"},
      {"kana, latin and an emoji", U"abcあいう😀"},
      {"300 kanji", cjk},
      {"all planes", spread_alphabet()},
  };
  const std::size_t lengths[] = {1, 2, 63, 64, 65, 127, 128, 129, 191, 192, 193, 255, 256, 257, 320, 1000};

  for (const auto& alphabet : alphabets) {
    for (const std::size_t la : lengths) {
      for (const std::size_t lb : lengths) {
        if (lb < la) continue;  // both orders are checked by check_pair
        const std::u32string a = random_text(rng, la, alphabet.letters);
        check_pair(a, random_text(rng, lb, alphabet.letters), alphabet.name);
        // The same text after a few edits, and inside a shared prefix and
        // suffix, which the distance skips, so the blocks start mid-text.
        const std::u32string close = edited(rng, a, 1 + la / 20, alphabet.letters);
        check_pair(a, close, alphabet.name);
        const std::u32string prefix = random_text(rng, 70, alphabet.letters);
        check_pair(prefix + a + prefix, prefix + close + prefix, alphabet.name);
      }
    }
  }

  // A pattern with more distinct characters than any block has rows.
  const std::u32string all = spread_alphabet();
  const std::u32string many(all.begin(), all.begin() + 3000);
  std::u32string reversed(many.rbegin(), many.rend());
  check_pair(many, reversed, "3,000 distinct");
  check_pair(many, edited(rng, many, 40, all), "3,000 distinct");

  CHECK(zenkor::levenshtein(U"", U"") == 0);
  CHECK(zenkor::levenshtein(U"", U"abc") == 3);
  CHECK(zenkor::levenshtein(U"kitten", U"sitting") == 3);
  return zenkor::test::finish();
}
