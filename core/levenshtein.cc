#include "core/levenshtein.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zenkor {
namespace {

// The computation is the row-wise dynamic programme of the two-row table,
// encoded as bit vectors (Hyyro's form of Myers' algorithm): one bit per cell
// of a column of 64 rows (the characters of the pattern `a`), one column per
// character of `b`.  It gives exactly the table's values with a handful of
// word operations per column.

// What crosses from one block of 64 rows to the next in a column: the
// horizontal delta at the block's last row, +1 (positive), -1 (negative) or 0.
// The carry of the addition that spans the blocks needs no passing on: it
// leaves a block only where that block's last row has a negative delta, and
// that delta enters the next block as a match in its first row, which starts
// the same carry there.
struct Carry {
  std::uint64_t positive = 0;  // 0 or 1
  std::uint64_t negative = 0;  // 0 or 1
};

// Row 0 of the table grows by one per column: a positive delta enters block 0.
constexpr Carry kTopRow{1, 0};

// The vertical deltas of one block of rows in the current column.
struct Block {
  std::uint64_t vp = ~std::uint64_t{0};  // column 0 is 0, 1, 2, ...: every delta is +1
  std::uint64_t vn = 0;

  // Moves to the next column, whose character matches the rows in `eq`;
  // takes the carry from the block above and returns the one for the block
  // below.
  Carry advance(std::uint64_t eq, Carry in) noexcept {
    const std::uint64_t x = eq | in.negative;
    const std::uint64_t d0 = (((x & vp) + vp) ^ vp) | x | vn;
    std::uint64_t hp = vn | ~(d0 | vp);
    std::uint64_t hn = d0 & vp;
    const Carry out{hp >> 63, hn >> 63};
    // Added rather than or-ed in (the low bit is free): one lea each.
    hp = (hp << 1) + in.positive;
    hn = (hn << 1) + in.negative;
    vp = hn | ~(d0 | hp);
    vn = hp & d0;
    return out;
  }

  // The sum of the vertical deltas of `rows` (a mask of the block's rows that
  // belong to the pattern) in the current column.  The distance is the top
  // row's value, the number of columns, plus this sum over all blocks, so
  // nothing needs following column by column.
  [[nodiscard]] std::ptrdiff_t rise(std::uint64_t rows) const noexcept {
    return std::popcount(vp & rows) - std::popcount(vn & rows);
  }
};

// The mask of the first `count` rows of a block, 1 <= count <= 64.
constexpr std::uint64_t first_rows(std::size_t count) noexcept {
  return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// An open-addressing map from characters to small values in which an absent
// character reads as 0.  Lookups are the cost of short calls, and a branch
// the processor mispredicts costs more than the rest of a lookup: with linear
// probing at a load of at most a quarter, most lookups find their character
// or an empty slot at once, and neither a lookup nor an insertion branches on
// which of the two it found.  Up to 256 slots live inside the object, so short
// calls allocate nothing; the map grows by doubling, so its size follows the
// distinct characters rather than the length of the text.  (Written here
// rather than taken from a library: the standard maps allocate per node and
// branch on every probe, and the probe loop is all this needs.)
template <typename Value>
class CharMap {
 public:
  // Room for `expected` characters without growing.
  explicit CharMap(std::size_t expected) { reset(std::bit_ceil(std::max<std::size_t>(16, kSlotsPerKey * expected))); }
  CharMap(const CharMap&) = delete;
  CharMap& operator=(const CharMap&) = delete;

  [[nodiscard]] Value find(char32_t c) const noexcept {
    return values_[slot_of(c)];
  }

  // The value of `c`, inserted as 0 when absent.
  Value& insert(char32_t c) {
    if (kSlotsPerKey * (size_ + 1) > mask_ + 1) grow();
    const std::size_t slot = slot_of(c);
    const bool fresh = keys_[slot] != c;
    keys_[slot] = c;
    size_ += fresh;
    return values_[slot];
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }

 private:
  static constexpr std::size_t kSlotsPerKey = 4;
  static constexpr std::size_t kInline = 256;
  static constexpr char32_t kEmpty = 0xFFFFFFFF;  // never a scalar value

  // The slot holding `c`, or the empty slot where it would go.  Fibonacci
  // hashing: the top bits of the product spread runs of neighbouring code
  // points, such as a block of kanji, over the table.
  [[nodiscard]] std::size_t slot_of(char32_t c) const noexcept {
    std::size_t slot = (static_cast<std::uint32_t>(c) * 2654435769u) >> shift_;
    // One test for both ends of the probe (kEmpty + 1 wraps to 0), so the
    // processor predicts a single branch that rarely goes on, rather than
    // guessing between a hit and an empty slot.
    while (std::min<std::uint32_t>(keys_[slot] ^ c, keys_[slot] + 1) != 0) slot = (slot + 1) & mask_;
    return slot;
  }

  // An empty table of `slots` slots, a power of two.
  void reset(std::size_t slots) {
    if (slots <= kInline) {
      keys_ = inline_keys_.data();
      values_ = inline_values_.data();
    } else {
      heap_keys_.resize(slots);
      heap_values_.resize(slots);
      keys_ = heap_keys_.data();
      values_ = heap_values_.data();
    }
    std::fill_n(keys_, slots, kEmpty);
    std::fill_n(values_, slots, Value{});
    mask_ = slots - 1;
    shift_ = 32 - std::countr_zero(slots);
    size_ = 0;
  }

  void grow() {
    const std::vector<char32_t> keys(keys_, keys_ + mask_ + 1);
    const std::vector<Value> values(values_, values_ + mask_ + 1);
    reset(2 * keys.size());
    for (std::size_t slot = 0; slot < keys.size(); ++slot) {
      if (keys[slot] != kEmpty) insert(keys[slot]) = values[slot];
    }
  }

  std::array<char32_t, kInline> inline_keys_;
  std::array<Value, kInline> inline_values_;
  std::vector<char32_t> heap_keys_;
  std::vector<Value> heap_values_;
  char32_t* keys_ = nullptr;
  Value* values_ = nullptr;
  std::size_t mask_ = 0;
  int shift_ = 0;
  std::size_t size_ = 0;
};

// A pattern of 1 to 64 characters: one block, whose match bits are looked up
// per column in a map of at most 64 characters.  Ranking first, as longer
// patterns do, would cost the same lookups plus a pass.
std::size_t single_block(std::u32string_view a, std::u32string_view b) {
  CharMap<std::uint64_t> match(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) match.insert(a[i]) |= std::uint64_t{1} << i;
  Block block;
  for (const char32_t c : b) block.advance(match.find(c), kTopRow);
  return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(b.size()) + block.rise(first_rows(a.size())));
}

// Blocks swept across the text side by side.  The block below trails the one
// above by a column, so the carry it takes was made in the step before, and
// the blocks' steps are independent work the processor overlaps; one block
// alone waits on its own previous column.  Measured on 10,000-character texts
// (ns per block and column): 1 block 2.5, 2 blocks 2.0, 3 blocks 2.9 and
// 4 blocks 2.4, where the state no longer fits in registers.
constexpr std::size_t kStripe = 2;

// One carry per column between stripes, in a byte.
std::uint8_t pack(Carry c) noexcept { return static_cast<std::uint8_t>(c.positive | (c.negative << 1)); }
Carry unpack(std::uint8_t bits) noexcept { return Carry{bits & 1u, static_cast<std::uint64_t>(bits >> 1u)}; }

// Sweeps the K blocks of `rows` (pattern ranks, 64 per block, the last block
// possibly shorter) across the text ranks `text`.  `carries` holds the carry
// into the first block for each column and receives the carry out of the last.
// `match` is zero on entry and on return; in between, match[rank * K + k]
// holds the match bits of block k for the character of that rank.  Returns
// the rise of the stripe's rows in the last column.
template <std::size_t K>
std::ptrdiff_t sweep(std::span<const std::uint32_t> rows, std::span<const std::uint32_t> text,
                     std::span<std::uint64_t> match, std::span<std::uint8_t> carries) {
  for (std::size_t i = 0; i < rows.size(); ++i) match[rows[i] * K + i / 64] |= std::uint64_t{1} << (i % 64);

  std::array<Block, K> blocks;
  std::array<Carry, K> pending;  // pending[k]: the carry into block k, made in the step before
  const auto step = [&](std::size_t k, std::size_t column) {
    const Carry in = k == 0 ? unpack(carries[column]) : pending[k];
    const Carry out = blocks[k].advance(match[text[column] * K + k], in);
    if (k + 1 < K) {
      pending[k + 1] = out;
    } else {
      carries[column] = pack(out);
    }
  };
  // Block k works on column s - k in step s; each step runs from the last
  // block up, so a pending carry is taken before the block above replaces it.
  // The text is longer than the pattern, so it has at least K columns.
  const std::size_t n = text.size();
  for (std::size_t s = 0; s + 1 < K; ++s) {
    for (std::size_t k = s + 1; k-- > 0;) step(k, s - k);
  }
  for (std::size_t s = K - 1; s < n; ++s) {
    for (std::size_t k = K; k-- > 0;) step(k, s - k);
  }
  for (std::size_t s = n; s + 1 < n + K; ++s) {
    for (std::size_t k = K; k-- > s - n + 1;) step(k, s - k);
  }

  for (std::size_t i = 0; i < rows.size(); ++i) match[rows[i] * K + i / 64] = 0;
  std::ptrdiff_t rise = 0;
  for (std::size_t k = 0; k < K; ++k) rise += blocks[k].rise(first_rows(rows.size() - 64 * k));
  return rise;
}

// Longer patterns.  Every distinct character of the pattern gets a dense
// rank once per call (0 for the text's characters the pattern lacks), so the
// match bits of a block are an array indexed by rank, not a hash lookup per
// block and column.  The blocks are swept across the text a stripe at a time,
// keeping only the carries of each column between stripes, and the match
// array holds one stripe's bits: memory is linear in the lengths whatever the
// alphabet, at most 4 + 4 + 1 bytes per character of the text and
// 4 + 8 x kStripe per character of the pattern (a table of every distinct
// character by every block would grow with the square of the length).
std::size_t many_blocks(std::u32string_view a, std::u32string_view b) {
  CharMap<std::uint32_t> rank_of(std::min<std::size_t>(a.size(), 256));
  std::vector<std::uint32_t> pattern(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint32_t& rank = rank_of.insert(a[i]);
    rank = rank != 0 ? rank : static_cast<std::uint32_t>(rank_of.size());
    pattern[i] = rank;
  }
  std::vector<std::uint32_t> text(b.size());
  for (std::size_t j = 0; j < b.size(); ++j) text[j] = rank_of.find(b[j]);

  std::vector<std::uint64_t> match((rank_of.size() + 1) * kStripe);
  std::vector<std::uint8_t> carries(b.size(), pack(kTopRow));
  auto distance = static_cast<std::ptrdiff_t>(b.size());
  for (std::size_t first = 0; first < a.size(); first += 64 * kStripe) {
    const std::span<const std::uint32_t> rows = std::span(pattern).subspan(first, std::min(64 * kStripe, a.size() - first));
    distance += rows.size() > 64 ? sweep<2>(rows, text, match, carries) : sweep<1>(rows, text, match, carries);
  }
  return static_cast<std::size_t>(distance);
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
