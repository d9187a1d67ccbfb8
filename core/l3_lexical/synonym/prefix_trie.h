// The forward half of the synonym matcher: a trie of the patterns read from
// their first character, searched from each position of a text in turn.
//
// On real text most positions start no pattern, and most of those that do
// start a short one, so a search that looks at each position once and reads
// ahead only where a pattern could start beats the backward automaton
// (matcher.h), whose every step is a jump into a large array.  The Sudachi
// synonyms start at a fifth of the characters of tweets and Wikipedia, and
// 66-82% of the characters are some pattern's first: the first two characters
// must be looked at together.
//
// The text is taken 64 bytes at a time.  A first pass finds the characters
// that start there (eight bytes at once) and, for each, hashes its first two
// characters and its first alone and tests both hashes in a bitmap (16 bits
// per pattern, in cache), which turns away nearly every position that starts
// no pattern.  The pass has no branch that depends on the text, and so does
// not stall where scripts change.  A second pass looks up each position that
// got through in a hash table that takes the place of the trie's first two
// levels (where a node would have thousands of children) and walks down the
// rest of the trie.  Deeper nodes are laid out depth first, a node's record
// followed by its first child's, so a walk down a word reads memory in order.
// Characters are compared as their UTF-8 bytes packed into a word: nothing is
// decoded.
//
// A walk may read ahead and find nothing ("aaaa...b" against a text of "a"s),
// so the search counts the bytes its walks read and hands the rest of the
// text back to its caller once they pass a budget: the caller then finishes
// with the backward automaton, which is linear whatever the patterns.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace zenkor::l3_lexical::synonym::prefix_trie {

// A pattern and its value.
using Pattern = std::pair<std::string_view, std::uint32_t>;

class PrefixTrie {
 public:
  // Nothing when the patterns are too long for 32-bit offsets.  Empty
  // patterns are ignored; when the same pattern is given twice, the later
  // value wins.
  // REQUIRES: every pattern is valid UTF-8.
  [[nodiscard]] static std::optional<PrefixTrie> build(const std::vector<Pattern>& patterns);

  // Calls `visit(start, end, value)` for the leftmost-longest non-overlapping
  // matches of `text`, left to right, while the walks past the first two
  // characters of a candidate have read fewer than `walk_budget` bytes
  // (counted in `walked`).  Returns where it stopped: the end of the text, or
  // a character boundary that no match visited so far passes, from which the
  // rest of the text is to be searched the same way by other means.
  // REQUIRES: text is valid UTF-8.
  template <typename Visit>
  std::size_t search(std::string_view text, std::size_t walk_budget, std::size_t& walked, Visit&& visit) const;

 private:
  static constexpr std::uint64_t EMPTY_KEY = ~std::uint64_t{0};  // no UTF-8 holds a byte 0xFF
  // The text is searched in windows of 64 bytes, STEP bytes apart: the
  // characters starting in the first STEP bytes of a window end within it,
  // and so does the character after each.
  static constexpr std::size_t WINDOW = 64;
  static constexpr std::size_t STEP = 48;

  // The eight bytes at `at` as a little-endian word, zeros past the end.
  [[nodiscard]] static std::uint64_t load(std::string_view text, std::size_t at) noexcept {
    std::uint64_t w = 0;
    if (at + 8 <= text.size()) {
      std::memcpy(&w, text.data() + at, 8);  // one load
    } else {
      // Near the end, byte by byte: a call to memcpy would cost more.
      for (std::size_t i = text.size(); i-- > at;) w = w << 8 | static_cast<unsigned char>(text[i]);
      return w;
    }
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
  }

  // Bytes of the UTF-8 sequence with this lead byte: a nibble of a constant
  // indexed by the lead's high nibble, so that no branch mispredicts where
  // scripts change.
  [[nodiscard]] static constexpr unsigned sequence_length(std::uint64_t lead) noexcept {
    return static_cast<unsigned>(0x4322111111111111 >> (lead >> 4 << 2) & 0xF);
  }

  // The first `bytes` (1 to 8) bytes of a word.
  // (A table: a shift by a variable count takes several instructions on
  // x86-64 without BMI2.)
  static constexpr std::uint64_t LOW_BYTES[9] = {0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF,
                                                 0xFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF};
  [[nodiscard]] static constexpr std::uint64_t low_bytes(std::uint64_t word, unsigned bytes) noexcept {
    return word & LOW_BYTES[bytes];
  }

  // The keys of a position from the word at it: its first two characters'
  // bytes, and its first character's followed by a 0xFF (so the two kinds
  // never meet).  `first` and `both` are the byte lengths.
  [[nodiscard]] static constexpr std::uint64_t pair_key(std::uint64_t word, unsigned both) noexcept {
    return low_bytes(word, both);
  }
  [[nodiscard]] static constexpr std::uint64_t single_key(std::uint64_t word, unsigned first) noexcept {
    return low_bytes(word, first) | (LOW_BYTES[first + 1] ^ LOW_BYTES[first]);
  }

  [[nodiscard]] static constexpr std::uint64_t hash_of(std::uint64_t key) noexcept {
    return key * 0x9E3779B97F4A7C15;
  }

  // Bit k set when the position `k` bytes into `bytes` may start a pattern,
  // for the positions the window searches (see WINDOW); `length` bytes of the
  // window lie in the text, zeros follow them.
  [[nodiscard]] std::uint64_t candidates_in(const unsigned char* bytes, std::size_t length) const noexcept;

  // A set of hashes, in as many bits as the hashes' top bits index.
  struct Bitmap {
    std::vector<std::uint64_t> words;
    unsigned shift = 64;

    // 1 when a key of this hash may be in the table, else 0.
    [[nodiscard]] std::uint64_t bit_of(std::uint64_t hash) const noexcept {
      const std::uint64_t bit = hash >> shift;
      return words[bit >> 6] >> (bit & 63) & 1;
    }
  };

  // A hash table slot: a key, the offset of the node of the patterns that go
  // on past it (NO_NODE: none do), whether a pattern ends with it (the top
  // bit of `node`) and that pattern's value.
  static constexpr std::uint32_t NO_NODE = 0x7FFFFFFF;
  static constexpr std::uint32_t ENDS_PATTERN = 0x80000000;
  struct Entry {
    std::uint64_t key = EMPTY_KEY;
    std::uint32_t node = NO_NODE;
    std::uint32_t value = 0;
  };

  [[nodiscard]] const Entry* find(std::uint64_t key) const noexcept {
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = hash_of(key) >> table_shift_;; i = (i + 1) & mask) {
      const Entry& e = table_[i];
      if (e.key == key) return &e;
      if (e.key == EMPTY_KEY) return nullptr;
    }
  }

  // A node is a record in nodes_: a header (child count << 1 | whether a
  // pattern ends here), that pattern's value when there is one, the
  // children's characters (as words) in ascending order, then their records'
  // offsets.
  [[nodiscard]] std::uint32_t child(std::uint32_t node, std::uint32_t c) const noexcept {
    const std::uint32_t head = nodes_[node];
    const std::uint32_t count = head >> 1;
    const std::uint32_t* labels = nodes_.data() + node + 1 + (head & 1);
    // Most nodes below the first two characters have one child; a few have
    // dozens (the words that begin with "co").
    std::uint32_t i = 0;
    if (count <= 8) {
      while (i < count && labels[i] != c) ++i;
      if (i == count) return NO_NODE;
    } else {
      i = static_cast<std::uint32_t>(std::lower_bound(labels, labels + count, c) - labels);
      if (i == count || labels[i] != c) return NO_NODE;
    }
    return labels[count + i];
  }

  // The longest pattern starting at a character: whether there is one, its
  // value and its end.
  struct Longest {
    bool found;
    std::uint32_t value;
    std::size_t end;
  };
  // `pair`: the entry of the first two characters at `at`, if any.
  [[nodiscard]] Longest longest_at(std::string_view text, std::size_t at, const Entry* pair,
                                   std::size_t& walked) const noexcept;

  // The entry of the first two characters at `at`, if any.
  [[nodiscard]] const Entry* pair_at(std::string_view text, std::size_t at) const noexcept;

  friend class TrieBuilder;

  Bitmap pairs_;    // of the pair keys
  Bitmap singles_;  // of the single keys
  std::vector<Entry> table_;
  unsigned table_shift_ = 64;
  std::vector<std::uint32_t> nodes_;
};

inline const PrefixTrie::Entry* PrefixTrie::pair_at(std::string_view text, std::size_t at) const noexcept {
  const std::uint64_t w = load(text, at);
  const unsigned first = sequence_length(w & 0xFF);
  if (at + first >= text.size()) return nullptr;
  return find(pair_key(w, first + sequence_length(w >> (8 * first) & 0xFF)));
}

inline PrefixTrie::Longest PrefixTrie::longest_at(std::string_view text, std::size_t at, const Entry* pair,
                                                  std::size_t& walked) const noexcept {
  const std::size_t n = text.size();
  const std::uint64_t w = load(text, at);
  const unsigned first = sequence_length(w & 0xFF);
  if (pair != nullptr) {
    const std::size_t both = at + first + sequence_length(w >> (8 * first) & 0xFF);
    Longest best{(pair->node & ENDS_PATTERN) != 0, pair->value, both};
    std::size_t reached = both;
    for (std::uint32_t node = pair->node & ~ENDS_PATTERN; node != NO_NODE && reached < n;) {
      const std::uint64_t next = load(text, reached);
      const unsigned length = sequence_length(next & 0xFF);
      node = child(node, static_cast<std::uint32_t>(low_bytes(next, length)));
      if (node == NO_NODE) break;
      reached += length;
      if ((nodes_[node] & 1) != 0) best = {true, nodes_[node + 1], reached};
    }
    walked += reached - both;
    if (best.found) return best;
  }
  const Entry* single = find(single_key(w, first));
  return {single != nullptr, single != nullptr ? single->value : 0, at + first};
}

inline std::uint64_t PrefixTrie::candidates_in(const unsigned char* bytes, std::size_t length) const noexcept {
  // Bit k of `starts` is set when byte k starts a character, and at the
  // text's end when it lies in the window: the distance from one start to
  // the next is a character's length.
  std::uint64_t starts = 0;
  for (unsigned k = 0; k < WINDOW; k += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes + k, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    // Continuation bytes are 10xxxxxx: bit 7 set, bit 6 clear.
    const std::uint64_t lead = ~(w & ~(w << 1)) & 0x8080808080808080;
    // Gathers the eight bits 7, 15, ..., 63 into one byte.
    starts |= ((lead >> 7) * 0x0102040810204080 >> 56) << k;
  }
  std::uint64_t searched = (std::uint64_t{1} << STEP) - 1;
  if (length < WINDOW) {
    starts = (starts & ((std::uint64_t{1} << length) - 1)) | std::uint64_t{1} << length;
    searched = (std::uint64_t{1} << length) - 1;
  }
  std::uint64_t candidates = 0;
  for (std::uint64_t s = starts & searched; s != 0; s &= s - 1) {
    const auto k = static_cast<unsigned>(std::countr_zero(s));
    const std::uint64_t after = starts >> k >> 1;  // never 0: the end is a start
    const unsigned first = static_cast<unsigned>(std::countr_zero(after)) + 1;
    // No second character at the text's end: the pair is made up, and
    // longest_at checks.
    const unsigned both = std::min(8U, first + 1 + static_cast<unsigned>(std::countr_zero(after >> first)));
    std::uint64_t w;
    std::memcpy(&w, bytes + k, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    candidates |= (pairs_.bit_of(hash_of(pair_key(w, both))) | singles_.bit_of(hash_of(single_key(w, first)))) << k;
  }
  return candidates;
}

template <typename Visit>
std::size_t PrefixTrie::search(std::string_view text, std::size_t walk_budget, std::size_t& walked,
                               Visit&& visit) const {
  const std::size_t n = text.size();
  // Everything before pos is done: its matches visited, none running past it.
  std::size_t pos = 0;
  // The text's last bytes and zeros, so that every load of a window stays
  // in bounds.
  unsigned char tail[WINDOW + 8];
  for (std::size_t block = 0; block < n && walked < walk_budget; block += STEP) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + block;
    const std::size_t length = std::min(n - block, WINDOW);
    if (n - block < WINDOW + 8) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, bytes, n - block);
      bytes = tail;
    }
    for (std::uint64_t c = candidates_in(bytes, length); c != 0; c &= c - 1) {
      const std::size_t at = block + static_cast<unsigned>(std::countr_zero(c));
      if (at < pos) continue;  // inside a match
      const Longest found = longest_at(text, at, pair_at(text, at), walked);
      if (found.found) visit(at, found.end, found.value);
      pos = found.end;
      if (walked >= walk_budget) return pos;
    }
    if (length < WINDOW) break;  // the last window: searched to the end
  }
  return walked >= walk_budget ? pos : n;
}

}  // namespace zenkor::l3_lexical::synonym::prefix_trie
