#include "core/levenshtein.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/utf8.h"

namespace zenkor {
namespace {

// Bit-parallel edit distance (the row-wise dynamic programme encoded as
// vertical deltas, one bit per cell of a column).  Gives exactly the values of
// the two-row table while doing one word operation per 64 characters of `a`
// and character of `b`.
//
// `a` is taken 64 characters at a time, each block swept across all of `b`.
// Between blocks only the three carries of each column are kept, and match
// vectors exist only for the current block, indexed by the characters of `b`,
// so memory stays linear in the lengths whatever the alphabet.  (Match vectors
// for all of `a` at once cost a word per distinct character per block: for an
// 80 000-character text of distinct characters that was 780 MB.)
std::size_t bit_parallel(const std::u32string& a, const std::u32string& b) {
  // Characters are replaced by their index in the sorted alphabet of `b`
  // (fewer than 2^21 scalar values exist, so 32 bits hold it); characters of
  // `a` that `b` lacks never match and get kNoMatch.
  std::u32string alphabet(b);
  std::sort(alphabet.begin(), alphabet.end());
  alphabet.erase(std::unique(alphabet.begin(), alphabet.end()), alphabet.end());
  constexpr std::uint32_t kNoMatch = 0xFFFFFFFF;
  const auto index_of = [&](char32_t c) {
    const auto it = std::lower_bound(alphabet.begin(), alphabet.end(), c);
    return it != alphabet.end() && *it == c ? static_cast<std::uint32_t>(it - alphabet.begin()) : kNoMatch;
  };
  std::vector<std::uint32_t> a_index(a.size()), b_index(b.size());
  std::transform(a.begin(), a.end(), a_index.begin(), index_of);
  std::transform(b.begin(), b.end(), b_index.begin(), index_of);
  std::vector<std::uint64_t> match(alphabet.size(), 0);  // rows of the current block per character

  // The carries that leave a block at the bottom of each column and enter the
  // next one: the horizontal delta (+1 or -1) and the carry of the addition.
  enum : std::uint8_t { kPositive = 1, kNegative = 2, kAddCarry = 4 };
  // Row 0 of the table grows by one per column: a positive delta enters block 0.
  std::vector<std::uint8_t> carries(b.size(), kPositive);

  std::size_t distance = a.size();
  for (std::size_t first = 0; first < a.size(); first += 64) {
    const std::size_t rows = std::min<std::size_t>(64, a.size() - first);
    const bool last_block = first + rows == a.size();
    const std::uint64_t last_bit = std::uint64_t{1} << (rows - 1);
    for (std::size_t i = 0; i < rows; ++i) {
      if (a_index[first + i] != kNoMatch) match[a_index[first + i]] |= std::uint64_t{1} << i;
    }

    // Column 0 of the table is 0, 1, 2, ...: every vertical delta is +1.
    std::uint64_t vp = ~std::uint64_t{0}, vn = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const std::uint8_t in = carries[j];
      const std::uint64_t hp_in = in & kPositive;
      const std::uint64_t hn_in = (in & kNegative) >> 1;
      const std::uint64_t x = match[b_index[j]] | hn_in;
      std::uint64_t sum;
      const bool c1 = __builtin_add_overflow(x & vp, vp, &sum);
      const bool c2 = __builtin_add_overflow(sum, std::uint64_t{(in & kAddCarry) ? 1u : 0u}, &sum);
      const std::uint64_t d0 = (sum ^ vp) | x | vn;
      std::uint64_t hp = vn | ~(d0 | vp);
      std::uint64_t hn = d0 & vp;
      if (last_block) {
        distance += (hp & last_bit) ? 1 : 0;
        distance -= (hn & last_bit) ? 1 : 0;
      } else {
        carries[j] = static_cast<std::uint8_t>((hp >> 63) | ((hn >> 63) << 1) | ((c1 || c2) ? kAddCarry : 0));
      }
      hp = (hp << 1) | hp_in;
      hn = (hn << 1) | hn_in;
      vp = hn | ~(d0 | hp);
      vn = hp & d0;
    }

    for (std::size_t i = 0; i < rows; ++i) {
      if (a_index[first + i] != kNoMatch) match[a_index[first + i]] = 0;
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
