#include "core/l3_lexical/synonym/prefix_trie.h"

#include <bit>
#include <deque>

namespace zenkor::l3_lexical::synonym::prefix_trie {

// Lays the trie out from the patterns sorted by their characters: the
// patterns below a node are a contiguous run of that order.
class TrieBuilder {
 public:
  explicit TrieBuilder(PrefixTrie& trie) : t_(trie) {}

  bool run(const std::vector<Pattern>& patterns);

 private:
  static constexpr std::uint32_t NONE = 0xFFFFFFFF;
  static constexpr std::size_t PAIR_BITS = 32;

  struct Key {
    std::uint32_t offset;  // into chars_
    std::uint32_t length;  // in characters
  };

  // Character i of pattern `key`, as a word (see PrefixTrie::child).
  [[nodiscard]] std::uint32_t char_at(std::uint32_t key, std::uint32_t i) const {
    return chars_[keys_[key].offset + i];
  }
  [[nodiscard]] std::uint32_t length(std::uint32_t key) const { return keys_[key].length; }
  void sort_and_decode(const std::vector<Pattern>& patterns);
  bool emit_nodes();
  void size_tables(std::size_t pairs, std::size_t singles);
  PrefixTrie::Entry& slot_for(std::uint64_t key, PrefixTrie::Bitmap& bitmap);

  PrefixTrie& t_;
  std::vector<std::uint32_t> chars_;  // the patterns' characters, back to back
  std::vector<Key> keys_;             // one per distinct pattern, in order; the pattern number
  std::vector<std::uint64_t> key_words_;  // each pattern's first eight bytes
  std::vector<std::uint32_t> values_;     // each pattern's value
  bool too_long_ = false;

  // A node to lay out: the patterns [lo, hi), which share their first
  // `depth` characters, and where its offset goes: into the entry of its
  // pair or a parent's slot in nodes_.
  struct Pending {
    std::uint32_t lo;
    std::uint32_t hi;
    std::uint32_t depth;
    std::uint32_t parent_slot;
    PrefixTrie::Entry* entry;
  };
  std::deque<Pending> queue_;
};

void TrieBuilder::sort_and_decode(const std::vector<Pattern>& patterns) {
  std::vector<std::uint32_t> order;
  order.reserve(patterns.size());
  for (std::uint32_t i = 0; i < patterns.size(); ++i) {
    if (!patterns[i].first.empty()) order.push_back(i);
  }
  // Bytewise order of UTF-8 is the order of the characters.
  std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    const int cmp = patterns[x].first.compare(patterns[y].first);
    return cmp != 0 ? cmp < 0 : x < y;
  });
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string_view text = patterns[order[i]].first;
    // Of equal patterns, the one given last is kept.
    if (i + 1 < order.size() && patterns[order[i + 1]].first == text) continue;
    if (chars_.size() + text.size() >= NONE) {
      too_long_ = true;
      return;
    }
    const auto offset = static_cast<std::uint32_t>(chars_.size());
    for (std::size_t pos = 0; pos < text.size();) {
      const std::uint64_t w = PrefixTrie::load(text, pos);
      const unsigned length = PrefixTrie::sequence_length(w & 0xFF);
      chars_.push_back(static_cast<std::uint32_t>(PrefixTrie::low_bytes(w, length)));
      pos += length;
    }
    key_words_.push_back(PrefixTrie::load(text, 0));
    keys_.push_back({offset, static_cast<std::uint32_t>(chars_.size() - offset)});
    values_.push_back(patterns[order[i]].second);
  }
}

// The nodes below the entries' pairs, breadth first: the shallow nodes, which
// nearly every walk reads, share few cache lines.
bool TrieBuilder::emit_nodes() {
  std::vector<std::uint32_t> starts;
  std::vector<std::uint32_t>& nodes = t_.nodes_;
  while (!queue_.empty()) {
    const Pending p = queue_.front();
    queue_.pop_front();
    const bool ends_here = length(p.lo) == p.depth;
    starts.clear();
    for (std::uint32_t i = p.lo + (ends_here ? 1 : 0); i < p.hi; ++i) {
      if (starts.empty() || char_at(i, p.depth) != char_at(starts.back(), p.depth)) starts.push_back(i);
    }
    const auto count = static_cast<std::uint32_t>(starts.size());
    // Offsets must fit 31 bits.
    if (nodes.size() + 2 + 2 * std::size_t{count} >= PrefixTrie::NO_NODE) return false;
    const auto offset = static_cast<std::uint32_t>(nodes.size());
    if (p.entry != nullptr) {
      p.entry->node = (p.entry->node & PrefixTrie::ENDS_PATTERN) | offset;
    } else {
      nodes[p.parent_slot] = offset;
    }
    // Children in the order of their words, which is not the order of their
    // bytes: a child is found by comparing words.
    const auto word_of = [&](std::uint32_t start) { return char_at(start, p.depth); };
    std::sort(starts.begin(), starts.end(), [&](std::uint32_t x, std::uint32_t y) { return word_of(x) < word_of(y); });
    nodes.push_back(count << 1 | (ends_here ? 1 : 0));
    if (ends_here) nodes.push_back(values_[p.lo]);
    for (const std::uint32_t s : starts) nodes.push_back(word_of(s));
    const auto first_slot = static_cast<std::uint32_t>(nodes.size());
    nodes.resize(nodes.size() + count, PrefixTrie::NO_NODE);
    for (std::uint32_t k = 0; k < count; ++k) {
      std::uint32_t end = starts[k] + 1;
      while (end < p.hi && char_at(end, p.depth) == word_of(starts[k])) ++end;
      queue_.push_back({starts[k], end, p.depth + 1, first_slot + k, nullptr});
    }
  }
  return true;
}

void TrieBuilder::size_tables(std::size_t pairs, std::size_t singles) {
  const auto bits_for = [](std::size_t count, std::size_t per_entry) {
    return std::max(6, static_cast<int>(std::bit_width(per_entry * std::max<std::size_t>(count, 1) - 1)));
  };
  const auto size = [](PrefixTrie::Bitmap& bitmap, int bits) {
    bitmap.words.assign((std::size_t{1} << bits) / 64, 0);
    bitmap.shift = 64 - bits;
  };
  // The table at most half full; the bitmaps 32 bits per key, so that about
  // one position in thirty that starts no pattern gets past them.
  const int table_bits = bits_for(pairs + singles, 2);
  t_.table_.assign(std::size_t{1} << table_bits, {});
  t_.table_shift_ = 64 - table_bits;
  size(t_.pairs_, bits_for(pairs, PAIR_BITS));
  size(t_.singles_, bits_for(singles, 32));
}

PrefixTrie::Entry& TrieBuilder::slot_for(std::uint64_t key, PrefixTrie::Bitmap& bitmap) {
  const std::uint64_t hash = PrefixTrie::hash_of(key);
  const std::uint64_t bit = hash >> bitmap.shift;
  bitmap.words[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  const std::size_t mask = t_.table_.size() - 1;
  std::size_t i = hash >> t_.table_shift_;
  while (t_.table_[i].key != PrefixTrie::EMPTY_KEY) i = (i + 1) & mask;
  t_.table_[i].key = key;
  return t_.table_[i];
}

bool TrieBuilder::run(const std::vector<Pattern>& patterns) {
  sort_and_decode(patterns);
  if (too_long_) return false;
  const auto count = static_cast<std::uint32_t>(keys_.size());
  // One entry per pattern of one character and per distinct first pair.
  std::size_t pairs = 0;
  std::size_t singles = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (length(i) == 1) {
      ++singles;
    } else {
      pairs += i == 0 || length(i - 1) < 2 || char_at(i, 0) != char_at(i - 1, 0) || char_at(i, 1) != char_at(i - 1, 1);
    }
  }
  size_tables(pairs, singles);
  for (std::uint32_t lo = 0; lo < count;) {
    const std::uint64_t w = key_words_[lo];
    const unsigned first = PrefixTrie::sequence_length(w & 0xFF);
    if (length(lo) == 1) {
      slot_for(PrefixTrie::single_key(w, first), t_.singles_).value = values_[lo];
      ++lo;
      continue;
    }
    std::uint32_t hi = lo + 1;
    while (hi < count && char_at(hi, 0) == char_at(lo, 0) && char_at(hi, 1) == char_at(lo, 1)) ++hi;
    const unsigned both = first + PrefixTrie::sequence_length(w >> (8 * first) & 0xFF);
    PrefixTrie::Entry& e = slot_for(PrefixTrie::pair_key(w, both), t_.pairs_);
    const bool ends_here = length(lo) == 2;
    if (ends_here) {
      e.node |= PrefixTrie::ENDS_PATTERN;
      e.value = values_[lo];
    }
    if (hi - lo > (ends_here ? 1U : 0U)) queue_.push_back({lo, hi, 2, NONE, &e});
    lo = hi;
  }
  return emit_nodes();
}

std::optional<PrefixTrie> PrefixTrie::build(const std::vector<Pattern>& patterns) {
  PrefixTrie trie;
  if (!TrieBuilder(trie).run(patterns)) return std::nullopt;
  return trie;
}

}  // namespace zenkor::l3_lexical::synonym::prefix_trie
