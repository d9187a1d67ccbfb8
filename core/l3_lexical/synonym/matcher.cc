#include "core/l3_lexical/synonym/matcher.h"

#include <algorithm>
#include <deque>
#include <string_view>

#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym::matcher {

namespace {

// Free slots a node with several children tries before it is placed past the
// end of the array, and failed tries after which a free slot is given up as
// a hole.  Both bound the build time; a node with one child always takes the
// first free slot.
constexpr int MAX_PROBES_PER_NODE = 256;
constexpr std::uint8_t MAX_PROBES_PER_SLOT = 16;

// Symbols run from 0 to radix - 1.  Symbols 0 to one - 1 are leads that
// stand alone; the next two_leads leads follow one more symbol, the
// remaining ones two.
struct Alphabet {
  std::uint32_t radix;
  std::uint32_t one;
  std::uint32_t two_leads;

  [[nodiscard]] constexpr std::uint32_t three_leads() const { return radix - one - two_leads; }

  // Room for every Unicode scalar value.
  [[nodiscard]] constexpr bool spells_all() const {
    return one + two_leads < radix && std::uint64_t{one} + std::uint64_t{two_leads} * radix +
                                              std::uint64_t{three_leads()} * radix * radix >= 0x110000;
  }
};

constexpr Alphabet WIDE{1023, 900, 121};
constexpr Alphabet NARROW{256, 176, 63};
static_assert(WIDE.spells_all() && NARROW.spells_all());

// Slots per symbol of the patterns past which a wide build gives way to a
// narrow one.  The Sudachi synonyms take 0.54; two-kanji words drawn evenly
// from 900 kanji take over 7 (1.2 in the narrow alphabet).
constexpr std::size_t WIDE_SLOTS_PER_SYMBOL = 1;

// A character of the patterns and the number of times they use it.
struct Ranked {
  char32_t c;
  std::size_t count;
};

}  // namespace

// Builds the double array breadth first, one trie node at a time, from the
// reversed patterns sorted by their codes: the patterns below a node are a
// contiguous run of that order.
class Builder {
 public:
  Builder(Automaton& a, Alphabet alphabet, std::size_t max_slots)
      : a_(a), alphabet_(alphabet), max_slots_(max_slots) {}

  // `ranked`: the characters of the patterns, most frequent first.
  // `slots_per_symbol`, when not 0, lowers max_slots to that many slots per
  // symbol of the patterns.
  Result<void, BuildError> run(const std::vector<Pattern>& patterns, const std::vector<Ranked>& ranked,
                               std::size_t slots_per_symbol);

 private:
  static constexpr std::uint32_t NONE = Automaton::NONE;

  struct Key {
    std::uint32_t offset;  // into codes_
    std::uint32_t length;  // in symbols
    std::uint32_t value;
    std::uint32_t bytes;
  };
  struct Node {
    std::uint32_t slot;
    std::uint32_t depth;
    std::uint32_t lo;  // run of keys_ below this node
    std::uint32_t hi;
  };

  [[nodiscard]] std::uint32_t spell(std::uint32_t rank) const;
  void build_alphabet(const std::vector<Ranked>& ranked);
  bool encode_keys(const std::vector<Pattern>& patterns);
  [[nodiscard]] std::uint32_t code_at(const Key& k, std::uint32_t i) const { return codes_[k.offset + i]; }
  bool place(const Node& node);
  [[nodiscard]] std::uint32_t find_base(const std::vector<std::uint32_t>& child_codes);
  bool grow(std::size_t size);
  void take(std::uint32_t slot);
  void give_up(std::uint32_t slot);
  void drop_from_free_list(std::uint32_t slot);
  [[nodiscard]] std::uint32_t fail_of(std::uint32_t parent, std::uint32_t code) const;

  // Codes are symbols + 1.
  static_assert(WIDE.radix < (std::uint32_t{1} << Automaton::SYMBOL_BITS));

  Automaton& a_;
  Alphabet alphabet_;
  std::size_t max_slots_;
  std::vector<char16_t> codes_;  // reversed patterns, as symbol codes, back to back
  std::vector<Key> keys_;        // sorted by codes, one per distinct pattern
  std::deque<Node> queue_;

  // Free slots form a doubly linked list in ascending order.  A slot given up
  // after too many failed probes leaves the list but stays free: it can
  // still hold a child that is not the first of its node.
  static constexpr std::uint8_t GIVEN_UP = 0xFF;
  std::vector<std::uint32_t> next_free_;
  std::vector<std::uint32_t> prev_free_;
  std::vector<std::uint8_t> failed_probes_;
  std::uint32_t free_head_ = NONE;
  std::uint32_t free_tail_ = NONE;
};

// The symbols of the character of the given frequency rank (0: the most
// frequent), packed as Automaton::symbols_of returns them.
std::uint32_t Builder::spell(std::uint32_t rank) const {
  const auto [radix, one, two_leads] = alphabet_;
  std::uint32_t feed[3];
  std::size_t count = 0;
  if (rank < one) {
    feed[count++] = rank;
  } else if ((rank -= one) < two_leads * radix) {
    feed[count++] = rank % radix;
    feed[count++] = one + rank / radix;
  } else {
    rank -= two_leads * radix;
    feed[count++] = rank % radix;
    feed[count++] = rank / radix % radix;
    feed[count++] = one + two_leads + rank / (radix * radix);
  }
  std::uint32_t word = 0;
  for (std::size_t i = count; i-- > 0;) word = word << Automaton::SYMBOL_BITS | (feed[i] + 1);
  return word;
}

namespace {

// The characters of the patterns with their counts, most frequent first:
// they get the short spellings.
std::vector<Ranked> rank_characters(const std::vector<Pattern>& patterns) {
  std::vector<char32_t> chars;
  for (const auto& [text, value] : patterns) {
    for (std::size_t pos = 0; pos < text.size();) chars.push_back(text::utf8::next(text, pos));
  }
  std::sort(chars.begin(), chars.end());
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < chars.size();) {
    std::size_t j = i;
    while (j < chars.size() && chars[j] == chars[i]) ++j;
    ranked.push_back({chars[i], j - i});
    i = j;
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& x, const Ranked& y) { return x.count > y.count; });
  return ranked;
}

// Whether the characters the wide alphabet spells with one symbol make up
// most of the patterns.  Else the narrow one is about as fast, and the
// patterns' characters are so evenly spread that the wide one is likely to
// leave the array sparse.
bool suits_wide(const std::vector<Ranked>& ranked) {
  std::size_t all = 0;
  std::size_t one_symbol = 0;
  for (std::size_t rank = 0; rank < ranked.size(); ++rank) {
    all += ranked[rank].count;
    if (rank < WIDE.one) one_symbol += ranked[rank].count;
  }
  return 2 * one_symbol >= all;
}

}  // namespace

void Builder::build_alphabet(const std::vector<Ranked>& ranked) {
  constexpr std::size_t PAGE_BITS = Automaton::PAGE_BITS;
  constexpr std::size_t PAGE_SIZE = Automaton::PAGE_SIZE;
  constexpr std::size_t PAGE_COUNT = 0x110000 >> PAGE_BITS;
  static_assert(PAGE_COUNT <= 0x10000, "block numbers are 16-bit");
  a_.pages_.assign(PAGE_COUNT, 0);
  a_.blocks_.assign(PAGE_SIZE, 0);  // block 0: no character of any pattern
  std::uint32_t rank = 0;
  for (const Ranked& r : ranked) {
    const char32_t c = r.c;
    std::uint16_t& page = a_.pages_[c >> PAGE_BITS];
    if (page == 0) {
      page = static_cast<std::uint16_t>(a_.blocks_.size() / PAGE_SIZE);
      a_.blocks_.resize(a_.blocks_.size() + PAGE_SIZE, 0);
    }
    a_.blocks_[page * PAGE_SIZE + (c & (PAGE_SIZE - 1))] = spell(rank++);
  }
}

// Fails when the patterns are too long for 32-bit offsets.
bool Builder::encode_keys(const std::vector<Pattern>& patterns) {
  struct Raw {
    Key key;
    std::uint32_t order;
  };
  std::vector<Raw> raw;
  raw.reserve(patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const std::string_view text = patterns[i].first;
    if (text.empty()) continue;
    if (codes_.size() + 3 * text.size() >= NONE) return false;  // at most three symbols a byte
    const auto offset = static_cast<std::uint32_t>(codes_.size());
    for (std::size_t pos = text.size(); pos > 0;) {
      for (std::uint32_t word = a_.symbols_of(text::utf8::prev(text, pos)); word != 0;
           word >>= Automaton::SYMBOL_BITS) {
        codes_.push_back(static_cast<char16_t>(word & Automaton::SYMBOL_MASK));
      }
    }
    const auto length = static_cast<std::uint32_t>(codes_.size() - offset);
    raw.push_back({{offset, length, patterns[i].second, static_cast<std::uint32_t>(text.size())},
                   static_cast<std::uint32_t>(i)});
  }
  const auto codes_of = [&](const Key& k) {
    return std::u16string_view(codes_.data() + k.offset, k.length);
  };
  std::sort(raw.begin(), raw.end(), [&](const Raw& x, const Raw& y) {
    const int cmp = codes_of(x.key).compare(codes_of(y.key));
    return cmp != 0 ? cmp < 0 : x.order < y.order;
  });
  // Of equal patterns, the one given last is kept.
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (i + 1 < raw.size() && codes_of(raw[i].key) == codes_of(raw[i + 1].key)) continue;
    keys_.push_back(raw[i].key);
  }
  return true;
}

bool Builder::grow(std::size_t size) {
  const std::size_t old = a_.slots_.size();
  if (size <= old) return true;
  if (size > max_slots_) return false;
  a_.slots_.resize(size);
  next_free_.resize(size, NONE);
  prev_free_.resize(size, NONE);
  failed_probes_.resize(size, 0);
  for (std::size_t s = old; s < size; ++s) {
    const auto slot = static_cast<std::uint32_t>(s);
    prev_free_[slot] = free_tail_;
    if (free_tail_ == NONE) {
      free_head_ = slot;
    } else {
      next_free_[free_tail_] = slot;
    }
    free_tail_ = slot;
  }
  return true;
}

void Builder::drop_from_free_list(std::uint32_t slot) {
  const std::uint32_t prev = prev_free_[slot];
  const std::uint32_t next = next_free_[slot];
  (prev == NONE ? free_head_ : next_free_[prev]) = next;
  (next == NONE ? free_tail_ : prev_free_[next]) = prev;
  next_free_[slot] = prev_free_[slot] = NONE;
}

void Builder::give_up(std::uint32_t slot) {
  drop_from_free_list(slot);
  failed_probes_[slot] = GIVEN_UP;
}

void Builder::take(std::uint32_t slot) {
  if (failed_probes_[slot] != GIVEN_UP) drop_from_free_list(slot);
}

std::uint32_t Builder::find_base(const std::vector<std::uint32_t>& child_codes) {
  const std::uint32_t first = child_codes.front();
  const auto fits = [&](std::uint32_t b) {
    for (std::size_t i = 1; i < child_codes.size(); ++i) {
      const std::uint32_t slot = b + child_codes[i];
      if (slot < a_.slots_.size() && a_.slots_[slot].check != NONE) return false;
    }
    return true;
  };
  int probes = 0;
  for (std::uint32_t f = free_head_; f != NONE && probes < MAX_PROBES_PER_NODE; ++probes) {
    const std::uint32_t next = next_free_[f];
    const std::uint32_t b = f - first;  // wraps below zero; slots stay >= f
    if (fits(b)) return b;
    if (++failed_probes_[f] >= MAX_PROBES_PER_SLOT) give_up(f);
    f = next;
  }
  // Nothing fitted near the front: open fresh slots past the end.
  return static_cast<std::uint32_t>(a_.slots_.size()) - first;
}

std::uint32_t Builder::fail_of(std::uint32_t parent, std::uint32_t code) const {
  return parent == 0 ? 0 : a_.step(a_.slots_[parent].fail, code);
}

bool Builder::place(const Node& node) {
  std::uint32_t lo = node.lo;
  if (keys_[lo].length == node.depth) ++lo;  // this node's own pattern
  if (lo == node.hi) return true;            // a leaf

  std::vector<std::uint32_t> child_codes;
  std::vector<std::uint32_t> child_starts;
  for (std::uint32_t i = lo; i < node.hi; ++i) {
    const std::uint32_t c = code_at(keys_[i], node.depth);
    if (child_codes.empty() || child_codes.back() != c) {
      child_codes.push_back(c);
      child_starts.push_back(i);
    }
  }
  child_starts.push_back(node.hi);

  const std::uint32_t base = find_base(child_codes);
  if (!grow(std::size_t{base + child_codes.back()} + 1)) return false;
  a_.slots_[node.slot].base = base;
  for (std::size_t i = 0; i < child_codes.size(); ++i) {
    const std::uint32_t slot = base + child_codes[i];
    take(slot);
    a_.slots_[slot].check = node.slot;
  }
  // Breadth first, every state shallower than these children already has its
  // children in place, so failure links can be followed right away.
  for (std::size_t i = 0; i < child_codes.size(); ++i) {
    const std::uint32_t slot = base + child_codes[i];
    const std::uint32_t fail = fail_of(node.slot, child_codes[i]);
    a_.slots_[slot].fail = fail;
    const std::uint32_t first_key = child_starts[i];
    if (keys_[first_key].length == node.depth + 1) {
      a_.slots_[slot].longest = first_key;
      a_.pattern_shorter_[first_key] = a_.slots_[fail].longest;
    } else {
      a_.slots_[slot].longest = a_.slots_[fail].longest;
    }
    queue_.push_back({slot, node.depth + 1, first_key, child_starts[i + 1]});
  }
  return true;
}

Result<void, BuildError> Builder::run(const std::vector<Pattern>& patterns, const std::vector<Ranked>& ranked,
                                      std::size_t slots_per_symbol) {
  constexpr BuildError TOO_MANY_SLOTS{BuildError::Kind::TooManySlots};
  build_alphabet(ranked);
  if (!encode_keys(patterns)) return BuildError{BuildError::Kind::PatternsTooLong};
  if (slots_per_symbol != 0) max_slots_ = std::min(max_slots_, slots_per_symbol * codes_.size() + alphabet_.radix);
  a_.pattern_value_.reserve(keys_.size());
  a_.pattern_bytes_.reserve(keys_.size());
  a_.pattern_shorter_.assign(keys_.size(), NONE);
  for (const Key& k : keys_) {
    a_.pattern_value_.push_back(k.value);
    a_.pattern_bytes_.push_back(k.bytes);
    a_.longest_pattern_bytes_ = std::max<std::size_t>(a_.longest_pattern_bytes_, k.bytes);
  }
  if (!grow(1)) return TOO_MANY_SLOTS;
  take(0);
  a_.slots_[0].check = 0;  // the root is its own parent: no slot ever names it as a child
  if (keys_.empty()) return {};
  queue_.push_back({0, 0, 0, static_cast<std::uint32_t>(keys_.size())});
  while (!queue_.empty()) {
    const Node node = queue_.front();
    queue_.pop_front();
    if (!place(node)) return TOO_MANY_SLOTS;
  }
  return {};
}

namespace {

Result<Automaton, BuildError> build_spelled(const std::vector<Pattern>& patterns, const std::vector<Ranked>& ranked,
                                            Alphabet alphabet, std::size_t max_slots, std::size_t slots_per_symbol) {
  Automaton a;
  Builder builder(a, alphabet, std::min(max_slots, MAX_SLOTS));
  if (auto built = builder.run(patterns, ranked, slots_per_symbol); !built.ok()) return std::move(built).error();
  return a;
}

}  // namespace

Result<Automaton, BuildError> Automaton::build(const std::vector<Pattern>& patterns, std::size_t max_slots) {
  const std::vector<Ranked> ranked = rank_characters(patterns);
  if (suits_wide(ranked)) {
    if (auto wide = build_spelled(patterns, ranked, WIDE, max_slots, WIDE_SLOTS_PER_SYMBOL); wide.ok()) return wide;
  }
  return build_spelled(patterns, ranked, NARROW, max_slots, 0);
}

Result<Automaton, BuildError> Automaton::build(const std::vector<Pattern>& patterns, Spelling spelling,
                                               std::size_t max_slots) {
  return build_spelled(patterns, rank_characters(patterns), spelling == Spelling::Wide ? WIDE : NARROW, max_slots, 0);
}

std::size_t Automaton::find_starts(std::string_view text, std::size_t from, std::size_t to, std::size_t scan_end,
                                   Start* starts) const {
  // Right to left: after reading text[pos..] backwards, the state's longest
  // pattern is the longest one that starts at pos.
  std::size_t count = 0;
  std::uint32_t state = 0;
  for (std::size_t pos = scan_end; pos > from;) {
    std::uint32_t symbols = symbols_of(text::utf8::prev(text, pos));
    if (symbols == 0) {
      state = 0;
      continue;
    }
    for (; symbols != 0; symbols >>= SYMBOL_BITS) state = step(state, symbols & SYMBOL_MASK);
    // Only at a character boundary: a pattern seen here starts on one.
    if (pos < to && slots_[state].longest != NONE) starts[count++] = {pos, slots_[state].longest};
  }
  return count;
}

}  // namespace zenkor::l3_lexical::synonym::matcher
