#include "core/levenshtein.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zenkor {
namespace {

// The computation is the row-wise dynamic programme of the two-row table,
// encoded as bit vectors: one bit per cell of a column of 64 rows (the
// characters of the pattern `a`), one column per character of `b`.  It gives
// exactly the table's values with a handful of word operations per column.

// Match bits of up to 64 pattern characters: bit i of bits(c) is set when
// character i is c.  An open-addressing table of 128 slots holds the at most
// 64 distinct characters, so probes stay short and memory is fixed whatever
// the alphabet; only the keys need clearing, which keeps short calls cheap.
class PatternBits {
 public:
  explicit PatternBits(std::u32string_view pattern) {
    std::fill(std::begin(keys_), std::end(keys_), kEmpty);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      const char32_t c = pattern[i];
      std::size_t slot = hash(c);
      while (keys_[slot] != kEmpty && keys_[slot] != c) slot = (slot + 1) % kSlots;
      if (keys_[slot] == kEmpty) {
        keys_[slot] = c;
        bits_[slot] = 0;
      }
      bits_[slot] |= std::uint64_t{1} << i;
    }
  }

  [[nodiscard]] std::uint64_t bits(char32_t c) const noexcept {
    for (std::size_t slot = hash(c);; slot = (slot + 1) % kSlots) {
      if (keys_[slot] == c) return bits_[slot];
      if (keys_[slot] == kEmpty) return 0;
    }
  }

 private:
  static constexpr std::size_t kSlots = 128;
  static constexpr char32_t kEmpty = 0xFFFFFFFF;  // never a scalar value

  static std::size_t hash(char32_t c) noexcept { return (static_cast<std::uint32_t>(c) * 2654435761u) >> 25; }

  char32_t keys_[kSlots];
  std::uint64_t bits_[kSlots];
};

// What crosses from one block of 64 rows to the next in a column: the
// horizontal delta at the block's last row (+1, -1 or 0) and the carry of the
// addition that spans the blocks.
struct Carry {
  std::uint64_t positive = 0;  // 0 or 1
  std::uint64_t negative = 0;  // 0 or 1
  std::uint64_t add = 0;       // 0 or 1
};

// The vertical deltas of one block of rows in the current column.
struct Block {
  std::uint64_t vp = ~std::uint64_t{0};  // column 0 is 0, 1, 2, ...: every delta is +1
  std::uint64_t vn = 0;

  // Moves to the next column, whose characters match the rows in `eq`.
  // Takes the carry from the block above and returns the one for the block
  // below; `last_bit` marks the block's last row, whose horizontal delta
  // (-1, 0 or +1) is returned through `delta`.
  Carry advance(std::uint64_t eq, Carry in, std::uint64_t last_bit, int& delta) noexcept {
    const std::uint64_t x = eq | in.negative;
    std::uint64_t sum;
    const bool c1 = __builtin_add_overflow(x & vp, vp, &sum);
    const bool c2 = __builtin_add_overflow(sum, in.add, &sum);
    const std::uint64_t d0 = (sum ^ vp) | x | vn;
    std::uint64_t hp = vn | ~(d0 | vp);
    std::uint64_t hn = d0 & vp;
    delta = ((hp & last_bit) ? 1 : 0) - ((hn & last_bit) ? 1 : 0);
    const Carry out{hp >> 63, hn >> 63, (c1 || c2) ? 1u : 0u};
    hp = (hp << 1) | in.positive;
    hn = (hn << 1) | in.negative;
    vp = hn | ~(d0 | hp);
    vn = hp & d0;
    return out;
  }
};

// Row 0 of the table grows by one per column: a positive delta enters block 0.
constexpr Carry kTopRow{1, 0, 0};

// A pattern of 1 to 64 characters: one block, nothing allocated.
std::size_t single_block(std::u32string_view a, std::u32string_view b) {
  const PatternBits match(a);
  const std::uint64_t last_bit = std::uint64_t{1} << (a.size() - 1);
  Block block;
  std::size_t distance = a.size();
  int delta = 0;
  for (const char32_t c : b) {
    block.advance(match.bits(c), kTopRow, last_bit, delta);
    distance = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(distance) + delta);
  }
  return distance;
}

// Longer patterns, 64 rows at a time: each block is swept across all of `b`,
// keeping only the carries of each column between blocks, so memory stays
// linear in the lengths whatever the alphabet.
std::size_t many_blocks(std::u32string_view a, std::u32string_view b) {
  // One byte per column between blocks: the three carry bits.
  const auto pack = [](Carry c) { return static_cast<std::uint8_t>(c.positive | (c.negative << 1) | (c.add << 2)); };
  const auto unpack = [](std::uint8_t bits) { return Carry{bits & 1u, (bits >> 1) & 1u, (bits >> 2) & 1u}; };
  std::vector<std::uint8_t> carries(b.size(), pack(kTopRow));
  std::size_t distance = a.size();
  for (std::size_t first = 0; first < a.size(); first += 64) {
    const std::u32string_view rows = a.substr(first, 64);
    const PatternBits match(rows);
    const std::uint64_t last_bit = std::uint64_t{1} << (rows.size() - 1);
    const bool last_block = first + rows.size() == a.size();
    Block block;
    int delta = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const Carry out = block.advance(match.bits(b[j]), unpack(carries[j]), last_bit, delta);
      if (last_block) {
        distance = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(distance) + delta);
      } else {
        carries[j] = pack(out);
      }
    }
  }
  return distance;
}

}  // namespace

std::size_t levenshtein(std::u32string_view a, std::u32string_view b) {
  // A shared prefix or suffix never changes the distance.
  const auto prefix = static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
  a.remove_prefix(prefix);
  b.remove_prefix(prefix);
  const auto suffix = static_cast<std::size_t>(std::mismatch(a.rbegin(), a.rend(), b.rbegin(), b.rend()).first - a.rbegin());
  a.remove_suffix(suffix);
  b.remove_suffix(suffix);
  if (a.empty()) return b.size();
  if (b.empty()) return a.size();
  // The distance is symmetric: the shorter text is the pattern.
  if (a.size() > b.size()) std::swap(a, b);
  return a.size() <= 64 ? single_block(a, b) : many_blocks(a, b);
}

}  // namespace zenkor
