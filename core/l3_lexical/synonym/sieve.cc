#include "core/l3_lexical/synonym/sieve.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>

namespace zenkor::l3_lexical::synonym::sieve {

namespace {

// Filter bits per key, 32 to 64 once rounded to a power of two: one position
// in 32 to 64 passes a filter that holds nothing at it.
constexpr std::size_t FILTER_BITS_PER_KEY = 32;
constexpr unsigned MIN_FILTER_BITS = 14;  // 2 KiB
constexpr unsigned MAX_FILTER_BITS = 24;  // 2 MiB

// For `count` words in ascending byte order, without duplicates, given by
// `word(i)`: the index of the longest other word that is a proper prefix of
// word i, or `none`.  In sorted order the words that are prefixes of a word
// come before it, and every word between a prefix and the word starts with
// that prefix too, so a stack of the prefixes of the current word finds
// them all in one pass.
template <typename Word>
std::vector<std::uint32_t> longest_prefixes(std::size_t count, std::uint32_t none, Word&& word) {
  std::vector<std::uint32_t> links(count, none);
  std::vector<std::uint32_t> stack;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view current = word(i);
    while (!stack.empty() && !current.starts_with(word(stack.back()))) stack.pop_back();
    if (!stack.empty()) links[i] = stack.back();
    stack.push_back(static_cast<std::uint32_t>(i));
  }
  return links;
}

}  // namespace

void Sieve::Filter::size_for(std::size_t keys) {
  const auto wanted = static_cast<unsigned>(std::bit_width(keys * FILTER_BITS_PER_KEY));
  const unsigned bits = std::clamp(wanted, MIN_FILTER_BITS, MAX_FILTER_BITS);
  words_.assign((std::size_t{1} << bits) / 64, 0);
  shift_ = 64 - (bits - 6);
}

void Sieve::Filter::add(std::uint64_t key) noexcept {
  const std::uint64_t hash = spread(key);
  words_[hash >> shift_] |= bits_of(hash);
}

void Sieve::Table::fill(const std::vector<Slot>& slots) {
  // At most half full, so that a search for a key not held ends soon.
  const auto bits = static_cast<unsigned>(std::max<std::size_t>(4, std::bit_width(2 * slots.size())));
  slots_.assign(std::size_t{1} << bits, Slot{});
  shift_ = 64 - bits;
  mask_ = (std::uint64_t{1} << bits) - 1;
  for (const Slot& slot : slots) {
    std::uint64_t i = spread(slot.key) >> shift_;
    while (slots_[i].key != EMPTY) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
}

std::optional<Sieve> Sieve::build(const std::vector<Rule>& rules) {
  // The rules by variant; of equal variants, the later rule last.
  std::vector<std::size_t> order(rules.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return rules[a].variant < rules[b].variant; });

  Sieve sieve;
  std::size_t bytes = 0;
  for (const Rule& rule : rules) bytes += rule.variant.size() + rule.canonical.size();
  if (bytes > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  sieve.text_.reserve(bytes);
  sieve.records_.reserve(rules.size());

  std::vector<Slot> ones, twos, threes;
  std::vector<std::uint64_t> pairs;  // with repeats
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Rule& rule = rules[order[k]];
    const bool later_same = k + 1 < order.size() && rules[order[k + 1]].variant == rule.variant;
    if (rule.variant.empty() || later_same) continue;
    const auto index = static_cast<std::uint32_t>(sieve.records_.size());
    sieve.records_.push_back({static_cast<std::uint32_t>(sieve.text_.size()),
                              static_cast<std::uint32_t>(rule.variant.size()),
                              static_cast<std::uint32_t>(rule.canonical.size()), NO_PREFIX, rule.whole_word});
    sieve.text_ += rule.variant;
    sieve.text_ += rule.canonical;

    char32_t first[3] = {NO_CHAR, NO_CHAR, NO_CHAR};
    std::size_t pos = 0;
    for (char32_t& c : first) {
      if (pos < rule.variant.size()) c = text::utf8::next(rule.variant, pos);
    }
    if (first[1] != NO_CHAR) pairs.push_back(key_of(first[0], first[1]));
    if (first[1] == NO_CHAR) {
      ones.push_back({first[0], index, index + 1});
    } else if (first[2] == NO_CHAR) {
      twos.push_back({key_of(first[0], first[1]), index, index + 1});
    } else {
      // The variants that begin with the same three characters are
      // neighbours in sorted order.
      const std::uint64_t key = key_of(first[0], first[1], first[2]);
      if (!threes.empty() && threes.back().key == key) {
        threes.back().hi = index + 1;
      } else {
        threes.push_back({key, index, index + 1});
      }
    }
  }

  sieve.all_whole_words_ = std::all_of(sieve.records_.begin(), sieve.records_.end(),
                                       [](const Record& r) { return r.whole_word; });
  // The shorter variants that start where a refused one does.
  const std::vector<std::uint32_t> shorter = longest_prefixes(
      sieve.records_.size(), NO_PREFIX, [&](std::size_t i) { return sieve.variant(sieve.records_[i]); });
  for (std::size_t i = 0; i < shorter.size(); ++i) sieve.records_[i].shorter = shorter[i];

  const auto fill = [](Filter& filter, Table& table, const std::vector<Slot>& slots) {
    filter.size_for(slots.size());
    for (const Slot& slot : slots) filter.add(slot.key);
    table.fill(slots);
  };
  fill(sieve.one_, sieve.ones_, ones);
  fill(sieve.two_, sieve.twos_, twos);
  fill(sieve.three_, sieve.threes_, threes);
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  sieve.pairs_.size_for(pairs.size());
  for (const std::uint64_t key : pairs) sieve.pairs_.add(key);
  sieve.has_ones_ = !ones.empty();
  return sieve;
}

const Sieve::Record* Sieve::longest_at(std::string_view rest, const char32_t* chars, unsigned lengths,
                                      std::size_t& work) const noexcept {
  ++work;
  const char32_t a = chars[0], b = chars[1], c = chars[2];
  if ((lengths & THREE) != 0) {
    if (const Slot* slot = threes_.find(key_of(a, b, c))) {
      const std::size_t shared =
          text::utf8::encoded_length(a) + text::utf8::encoded_length(b) + text::utf8::encoded_length(c);
      if (const Record* found = longest_in(slot->lo, slot->hi, rest, shared, work)) return found;
    }
  }
  if ((lengths & TWO) != 0) {
    if (const Slot* slot = twos_.find(key_of(a, b))) return &records_[slot->lo];
  }
  if ((lengths & ONE) != 0) {
    if (const Slot* slot = ones_.find(a)) return &records_[slot->lo];
  }
  return nullptr;
}

// The largest variant not above `rest` (cut to `limit` bytes) is the longest
// one that `rest` starts with, if `rest` starts with it at all.  If not, they
// part after some bytes, and a variant that `rest` starts with can only be
// shorter than that: search again with `rest` cut there.  Each round cuts it
// shorter.
const Sieve::Record* Sieve::longest_in(std::uint32_t lo, std::uint32_t hi, std::string_view rest, std::size_t shared,
                                       std::size_t& work) const noexcept {
  // Bytes that `variant` has in common with `rest`, both cut to `limit`.
  const auto common = [&](std::string_view v, std::size_t limit) {
    const std::size_t end = std::min(v.size(), limit);
    std::size_t i = shared;
    while (i < end && v[i] == rest[i]) ++i;
    work += i - shared;
    return i;
  };
  std::size_t limit = rest.size();
  for (;;) {
    // The first record above rest[0, limit), and what the one before it has
    // in common with rest.
    std::uint32_t first = lo;
    std::uint32_t count = hi - lo;
    std::size_t below_common = 0;
    while (count > 0) {
      const std::uint32_t half = count / 2;
      const std::string_view v = variant(records_[first + half]);
      const std::size_t i = common(v, limit);
      const std::size_t end = std::min(v.size(), limit);
      if (i < end ? static_cast<unsigned char>(v[i]) > static_cast<unsigned char>(rest[i]) : v.size() > limit) {
        count = half;
      } else {
        first += half + 1;
        count -= half + 1;
        below_common = i;
      }
    }
    if (first == lo) return nullptr;
    const Record& below = records_[first - 1];
    if (below_common == below.variant_bytes) return &below;
    limit = below_common;
    hi = first - 1;
  }
}

}  // namespace zenkor::l3_lexical::synonym::sieve
