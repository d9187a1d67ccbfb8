#include "core/levenshtein.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/utf8.h"

namespace zenkor {
namespace {

// Bit-parallel edit distance over 64-bit blocks (the row-wise dynamic
// programme encoded as vertical deltas, one bit per cell).  Gives exactly the
// values of the two-row table while doing |a|/64 word operations per
// character of b instead of |a| cell updates.
std::size_t bit_parallel(const std::u32string& a, const std::u32string& b) {
  const std::size_t m = a.size();
  const std::size_t words = (m + 63) / 64;

  // Alphabet of `a`, sorted; match vectors per distinct character.
  std::u32string alphabet(a);
  std::sort(alphabet.begin(), alphabet.end());
  alphabet.erase(std::unique(alphabet.begin(), alphabet.end()), alphabet.end());
  std::vector<std::uint64_t> match(alphabet.size() * words, 0);
  for (std::size_t i = 0; i < m; ++i) {
    const auto row = static_cast<std::size_t>(std::lower_bound(alphabet.begin(), alphabet.end(), a[i]) - alphabet.begin());
    match[row * words + i / 64] |= std::uint64_t{1} << (i % 64);
  }

  std::vector<std::uint64_t> vp(words, ~std::uint64_t{0});
  std::vector<std::uint64_t> vn(words, 0);
  const std::uint64_t last_bit = std::uint64_t{1} << ((m - 1) % 64);
  std::size_t distance = m;

  for (const char32_t c : b) {
    const auto it = std::lower_bound(alphabet.begin(), alphabet.end(), c);
    const std::uint64_t* eq =
        (it != alphabet.end() && *it == c) ? &match[static_cast<std::size_t>(it - alphabet.begin()) * words] : nullptr;
    // Row 0 of the table grows by one per column: a positive carry enters.
    std::uint64_t hp_carry = 1, hn_carry = 0, add_carry = 0;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t pv = vp[w], nv = vn[w];
      const std::uint64_t x = (eq ? eq[w] : 0) | hn_carry;
      std::uint64_t sum;
      const bool c1 = __builtin_add_overflow(x & pv, pv, &sum);
      const bool c2 = __builtin_add_overflow(sum, add_carry, &sum);
      add_carry = (c1 || c2) ? 1 : 0;
      const std::uint64_t d0 = (sum ^ pv) | x | nv;
      std::uint64_t hp = nv | ~(d0 | pv);
      std::uint64_t hn = d0 & pv;
      const std::uint64_t hp_in = hp_carry, hn_in = hn_carry;
      if (w + 1 < words) {
        hp_carry = hp >> 63;
        hn_carry = hn >> 63;
      } else {
        distance += (hp & last_bit) ? 1 : 0;
        distance -= (hn & last_bit) ? 1 : 0;
      }
      hp = (hp << 1) | hp_in;
      hn = (hn << 1) | hn_in;
      vp[w] = hn | ~(d0 | hp);
      vn[w] = hp & d0;
    }
  }
  return distance;
}

}  // namespace

std::size_t levenshtein(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  std::u32string ca = utf8::decode(a);
  std::u32string cb = utf8::decode(b);
  // A shared prefix or suffix never changes the distance.
  const auto prefix = static_cast<std::size_t>(std::mismatch(ca.begin(), ca.end(), cb.begin(), cb.end()).first - ca.begin());
  ca.erase(0, prefix);
  cb.erase(0, prefix);
  const auto suffix =
      static_cast<std::size_t>(std::mismatch(ca.rbegin(), ca.rend(), cb.rbegin(), cb.rend()).first - ca.rbegin());
  ca.resize(ca.size() - suffix);
  cb.resize(cb.size() - suffix);
  if (ca.empty()) return cb.size();
  if (cb.empty()) return ca.size();
  return bit_parallel(ca, cb);
}

}  // namespace zenkor
