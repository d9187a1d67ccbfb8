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
// the same carry there.  A Word is one block (std::uint64_t) or a vector of
// blocks, one per 64-bit lane, which the same operators work on lane by lane.
template <typename Word>
struct Carry {
  Word positive{};  // 0 or 1 in each lane
  Word negative{};
};

// Row 0 of the table grows by one per column: a positive delta enters block 0.
constexpr Carry<std::uint64_t> TOP_ROW{1, 0};

// The vertical deltas of one block of rows (or of one per lane) in the
// current column.
template <typename Word>
struct Block {
  Word vp = ~Word{};  // column 0 is 0, 1, 2, ...: every delta is +1
  Word vn{};

  // Moves to the next column, whose character matches the rows in `eq`;
  // takes the carry `in` from the block above and gives the one for the block
  // below to `out`.  Always inlined, so that it is compiled for the
  // instruction set of the sweep that calls it (and vectors never cross a
  // call, whose convention for them depends on that set).
  [[gnu::always_inline]] void advance(const Word& eq, const Carry<Word>& in, Carry<Word>& out) noexcept {
    const Word x = eq | in.negative;
    const Word d0 = (((x & vp) + vp) ^ vp) | x | vn;
    Word hp = vn | ~(d0 | vp);
    Word hn = d0 & vp;
    out.positive = hp >> 63;
    out.negative = hn >> 63;
    // Added rather than or-ed in (the low bit is free): one lea each.
    hp = (hp << 1) + in.positive;
    hn = (hn << 1) + in.negative;
    vp = hn | ~(d0 | hp);
    vn = hp & d0;
  }
};

// The sum of the vertical deltas of `rows` (a mask of a block's rows that
// belong to the pattern) in a column whose deltas are `vp` and `vn`.  The
// distance is the top row's value, the number of columns, plus this sum over
// all blocks in the last column, so nothing needs following column by column.
std::ptrdiff_t rise(std::uint64_t vp, std::uint64_t vn, std::uint64_t rows) noexcept {
  return std::popcount(vp & rows) - std::popcount(vn & rows);
}

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
  explicit CharMap(std::size_t expected) { reset(std::bit_ceil(std::max<std::size_t>(16, SLOTS_PER_KEY * expected))); }
  CharMap(const CharMap&) = delete;
  CharMap& operator=(const CharMap&) = delete;

  [[nodiscard]] Value find(char32_t c) const noexcept {
    return values_[slot_of(c)];
  }

  // The value of `c`, inserted as 0 when absent.
  Value& insert(char32_t c) {
    if (SLOTS_PER_KEY * (size_ + 1) > mask_ + 1) grow();
    const std::size_t slot = slot_of(c);
    const bool fresh = keys_[slot] != c;
    keys_[slot] = c;
    size_ += fresh;
    return values_[slot];
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }

 private:
  static constexpr std::size_t SLOTS_PER_KEY = 4;
  static constexpr std::size_t INLINE_SLOTS = 256;
  static constexpr char32_t EMPTY_KEY = 0xFFFFFFFF;  // never a scalar value

  // The slot holding `c`, or the empty slot where it would go.  Fibonacci
  // hashing: the top bits of the product spread runs of neighbouring code
  // points, such as a block of kanji, over the table.
  [[nodiscard]] std::size_t slot_of(char32_t c) const noexcept {
    std::size_t slot = (static_cast<std::uint32_t>(c) * 2654435769u) >> shift_;
    // One test for both ends of the probe (EMPTY_KEY + 1 wraps to 0), so the
    // processor predicts a single branch that rarely goes on, rather than
    // guessing between a hit and an empty slot.
    while (std::min<std::uint32_t>(keys_[slot] ^ c, keys_[slot] + 1) != 0) slot = (slot + 1) & mask_;
    return slot;
  }

  // An empty table of `slots` slots, a power of two.
  void reset(std::size_t slots) {
    if (slots <= INLINE_SLOTS) {
      keys_ = inline_keys_.data();
      values_ = inline_values_.data();
    } else {
      heap_keys_.resize(slots);
      heap_values_.resize(slots);
      keys_ = heap_keys_.data();
      values_ = heap_values_.data();
    }
    std::fill_n(keys_, slots, EMPTY_KEY);
    std::fill_n(values_, slots, Value{});
    mask_ = slots - 1;
    shift_ = 32 - std::countr_zero(slots);
    size_ = 0;
  }

  // Doubles the table.  The old slots are moved out (copied when inline), so
  // only they and the new table are held at once.
  void grow() {
    const bool inline_now = keys_ == inline_keys_.data();
    const std::vector<char32_t> keys = inline_now ? std::vector<char32_t>(keys_, keys_ + mask_ + 1) : std::move(heap_keys_);
    const std::vector<Value> values = inline_now ? std::vector<Value>(values_, values_ + mask_ + 1) : std::move(heap_values_);
    reset(2 * keys.size());
    for (std::size_t slot = 0; slot < keys.size(); ++slot) {
      if (keys[slot] != EMPTY_KEY) insert(keys[slot]) = values[slot];
    }
  }

  std::array<char32_t, INLINE_SLOTS> inline_keys_;
  std::array<Value, INLINE_SLOTS> inline_values_;
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
  Block<std::uint64_t> block;
  Carry<std::uint64_t> below;  // no block below: unused
  for (const char32_t c : b) block.advance(match.find(c), TOP_ROW, below);
  return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(b.size()) + rise(block.vp, block.vn, first_rows(a.size())));
}

// Blocks are swept across the text side by side, one per 64-bit lane of a
// vector, each trailing the one above by a column: the carry a block takes
// is the one the block above made in the step before, so the lanes' work is
// independent and one vector operation does it for all of them.  Four lanes
// fill a 256-bit register; two lanes, a 128-bit one, which every x86-64 and
// ARM64 processor has.
template <std::size_t Lanes>
struct LaneVector;
template <>
struct LaneVector<2> {
  typedef std::uint64_t type __attribute__((vector_size(16)));
};
template <>
struct LaneVector<4> {
  typedef std::uint64_t type __attribute__((vector_size(32)));
};

// One carry per column between stripes of blocks, in a byte.
std::uint8_t pack(std::uint64_t positive, std::uint64_t negative) noexcept {
  return static_cast<std::uint8_t>(positive | (negative << 1));
}

// Sweeps the blocks of `rows` (pattern ranks, 64 per block, at most Lanes
// blocks, the last possibly shorter) across the text ranks `text`, block k in
// lane k.  `carries` holds the carry into the first block for each column and
// receives the carry out of the last lane.  `match` is zero on entry and on
// return; in between, match[rank * Lanes + k] holds the match bits of block k
// for the character of that rank.  Returns the rise of the stripe's rows in
// the last column.
template <std::size_t Lanes>
[[gnu::always_inline]] inline std::ptrdiff_t sweep_lanes(std::span<const std::uint32_t> rows,
                                                         std::span<const std::uint32_t> text,
                                                         std::span<std::uint64_t> match,
                                                         std::span<std::uint8_t> carries) {
  using Word = typename LaneVector<Lanes>::type;
  for (std::size_t i = 0; i < rows.size(); ++i) match[rows[i] * Lanes + i / 64] |= std::uint64_t{1} << (i % 64);

  const std::size_t n = text.size();
  Block<Word> blocks;
  Carry<Word> given;  // what each lane gave the lane below in the step before
  // Step s: lane k works on column s - k.  At the ends (edge) some lanes have
  // no column yet or any more: they read column 0 and keep their state.  A
  // lane past the pattern's last block matches nothing, and what it computes
  // flows only to later lanes.
  const auto step = [&](std::size_t s, bool edge) {
    Word eq;
    Word active;
    for (std::size_t k = 0; k < Lanes; ++k) {
      const bool on = !edge || (s >= k && s - k < n);
      eq[k] = match[text[on ? s - k : 0] * Lanes + k];
      active[k] = on ? ~std::uint64_t{0} : 0;
    }
    // Lane 0 takes its carry from the stripe above, lane k from lane k - 1.
    const std::uint8_t top = carries[edge ? std::min(s, n - 1) : s];
    Word positive{};
    Word negative{};
    positive[0] = top & 1u;
    negative[0] = top >> 1;
    for (std::size_t k = 1; k < Lanes; ++k) {
      positive[k] = given.positive[k - 1];
      negative[k] = given.negative[k - 1];
    }
    const Block<Word> before = blocks;
    blocks.advance(eq, {positive, negative}, given);
    if (edge) {
      blocks.vp = (blocks.vp & active) | (before.vp & ~active);
      blocks.vn = (blocks.vn & active) | (before.vn & ~active);
      if (s + 1 < Lanes) return;  // the last lane has no column yet
    }
    carries[s + 1 - Lanes] = pack(given.positive[Lanes - 1], given.negative[Lanes - 1]);
  };
  // The text is longer than the pattern, so it has more columns than there
  // are lanes.
  for (std::size_t s = 0; s + 1 < Lanes; ++s) step(s, true);
  for (std::size_t s = Lanes - 1; s < n; ++s) step(s, false);
  for (std::size_t s = n; s + 1 < n + Lanes; ++s) step(s, true);
  for (std::size_t i = 0; i < rows.size(); ++i) match[rows[i] * Lanes + i / 64] = 0;

  std::ptrdiff_t total = 0;
  for (std::size_t k = 0; k * 64 < rows.size(); ++k) {
    total += rise(blocks.vp[k], blocks.vn[k], first_rows(rows.size() - 64 * k));
  }
  return total;
}

// Sweeps a stripe of at most 4 blocks.  Compiled twice from the same source:
// for the baseline instruction set, and on x86-64 also with AVX2, chosen at
// run time, where the four lanes are one register.  Measured on
// 10,000-character texts (ns per block and column): 3.1 for one block at a
// time in a 64-bit word, 2.0 for two side by side, 1.9 for four lanes on the
// baseline (two 128-bit halves), 1.3 with AVX2.
using SweepFunction = std::ptrdiff_t (*)(std::span<const std::uint32_t>, std::span<const std::uint32_t>,
                                         std::span<std::uint64_t>, std::span<std::uint8_t>);

// Up to two blocks in a 128-bit vector, three or four in a 256-bit one.
[[gnu::always_inline]] inline std::ptrdiff_t sweep_stripe(std::span<const std::uint32_t> rows,
                                                          std::span<const std::uint32_t> text,
                                                          std::span<std::uint64_t> match,
                                                          std::span<std::uint8_t> carries) {
  return rows.size() > 128 ? sweep_lanes<4>(rows, text, match, carries) : sweep_lanes<2>(rows, text, match, carries);
}

std::ptrdiff_t sweep_baseline(std::span<const std::uint32_t> rows, std::span<const std::uint32_t> text,
                              std::span<std::uint64_t> match, std::span<std::uint8_t> carries) {
  return sweep_stripe(rows, text, match, carries);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] std::ptrdiff_t sweep_avx2(std::span<const std::uint32_t> rows,
                                                   std::span<const std::uint32_t> text,
                                                   std::span<std::uint64_t> match, std::span<std::uint8_t> carries) {
  return sweep_stripe(rows, text, match, carries);
}

SweepFunction choose_sweep() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? sweep_avx2 : sweep_baseline;
}
#else
SweepFunction choose_sweep() noexcept { return sweep_baseline; }
#endif

// The blocks of a stripe, 4 lanes of 64 rows.
constexpr std::size_t STRIPE_ROWS = 256;

// Longer patterns.  Every distinct character of the pattern gets a dense
// rank once per call (0 for the text's characters the pattern lacks), so the
// match bits of a block are an array indexed by rank, not a hash lookup per
// block and column.  The blocks are swept across the text a stripe at a time,
// keeping only the carries of each column between stripes, and the match
// array holds one stripe's rows: memory is linear in the lengths whatever the
// alphabet: 5 bytes per character of the text (rank, carry) and at most 132
// per character of the pattern (rank; per distinct character up to 8 map
// slots of 8 bytes, half as many again while the map grows, and 4 match
// words).  Match bits of every distinct character for every block would grow
// with the square of the length: 80,000 distinct characters in 1,250 blocks
// would take 800 MB.
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

  static const SweepFunction sweep = choose_sweep();
  std::vector<std::uint64_t> match((rank_of.size() + 1) * STRIPE_ROWS / 64);
  std::vector<std::uint8_t> carries(b.size(), pack(TOP_ROW.positive, TOP_ROW.negative));
  auto distance = static_cast<std::ptrdiff_t>(b.size());
  for (std::size_t first = 0; first < a.size(); first += STRIPE_ROWS) {
    distance += sweep(std::span(pattern).subspan(first, std::min(STRIPE_ROWS, a.size() - first)), text, match, carries);
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
