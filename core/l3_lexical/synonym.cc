#include "core/l3_lexical/synonym.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>

#include "core/l3_lexical/synonym/matcher.h"
#include "core/l3_lexical/synonym/sieve.h"
#include "core/l3_lexical/synonym/word_edges.h"

namespace zenkor::l3_lexical::synonym {

SynonymDict::SynonymDict(const SynonymDict& other)
    : entries_(other.entries_), guards_(other.guards_), next_stamp_(other.next_stamp_), index_(other.index_) {}

SynonymDict& SynonymDict::operator=(const SynonymDict& other) {
  if (this != &other) {
    entries_ = other.entries_;
    guards_ = other.guards_;
    next_stamp_ = other.next_stamp_;
    index_ = other.index_;
    forget_compiled();
  }
  return *this;
}

SynonymDict::SynonymDict(SynonymDict&& other) noexcept
    : entries_(std::move(other.entries_)),
      guards_(std::move(other.guards_)),
      next_stamp_(other.next_stamp_),
      index_(std::move(other.index_)),
      sieve_(other.sieve_.exchange(nullptr)),
      automaton_(other.automaton_.exchange(nullptr)) {}

SynonymDict& SynonymDict::operator=(SynonymDict&& other) noexcept {
  if (this != &other) {
    entries_ = std::move(other.entries_);
    guards_ = std::move(other.guards_);
    next_stamp_ = other.next_stamp_;
    index_ = std::move(other.index_);
    forget_compiled();
    sieve_.store(other.sieve_.exchange(nullptr));
    automaton_.store(other.automaton_.exchange(nullptr));
  }
  return *this;
}

SynonymDict::~SynonymDict() { forget_compiled(); }

void SynonymDict::forget_compiled() noexcept {
  delete sieve_.exchange(nullptr);
  delete automaton_.exchange(nullptr);
}

std::size_t SynonymDict::slot_of(std::string_view variant) const noexcept {
  const std::size_t mask = index_.size() - 1;
  for (std::size_t slot = std::hash<std::string_view>{}(variant) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t i = index_[slot];
    if (i == EMPTY_SLOT || entries_[i].variant == variant) return slot;
  }
}

void SynonymDict::rebuild_index() {
  std::size_t capacity = 16;
  while (capacity < 2 * (std::max(entries_.size(), planned_) + 1)) capacity *= 2;
  index_.assign(capacity, EMPTY_SLOT);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    index_[slot_of(entries_[i].variant)] = static_cast<std::uint32_t>(i);
  }
}

void SynonymDict::insert(std::string variant, std::string canonical, bool whole_word) {
  if (variant.empty()) return;
  forget_compiled();
  guards_.clear();
  if (index_.size() < 2 * (entries_.size() + 1)) rebuild_index();
  const std::size_t slot = slot_of(variant);
  if (index_[slot] != EMPTY_SLOT) {
    Entry& entry = entries_[index_[slot]];
    entry.canonical = std::move(canonical);
    entry.stamp = next_stamp_++;
    entry.whole_word = whole_word;
    return;
  }
  index_[slot] = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back({std::move(variant), std::move(canonical), next_stamp_++, whole_word});
}

void SynonymDict::mark_whole_words(bool whole_word) noexcept {
  forget_compiled();
  for (Entry& entry : entries_) entry.whole_word = whole_word;
}

const SynonymDict::Entry* SynonymDict::entry_of(std::string_view variant) {
  if (entries_.empty()) return nullptr;
  if (index_.empty()) rebuild_index();
  const std::uint32_t i = index_[slot_of(variant)];
  return i == EMPTY_SLOT ? nullptr : &entries_[i];
}

std::vector<std::size_t> SynonymDict::insert_order() const {
  std::vector<std::size_t> order(entries_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return entries_[a].stamp < entries_[b].stamp; });
  return order;
}

void SynonymDict::extend(SynonymDict other) {
  if (entries_.empty()) {
    // Nothing to merge with (the first load into a normalizer): take `other`
    // whole rather than insert a copy of each entry while it still lives,
    // which for a large dictionary held both at once.
    *this = std::move(other);
    guards_.clear();
    return;
  }
  for (const std::size_t i : other.insert_order()) {
    Entry& entry = other.entries_[i];
    insert(std::move(entry.variant), std::move(entry.canonical), entry.whole_word != 0);
  }
}

namespace {

// Builds with `build` unless another thread has published; publishes the
// result unless another thread did first, and returns what was published.
template <typename T, typename Build>
const T* publish_once(std::atomic<const T*>& published, Build&& build) {
  if (const T* got = published.load(std::memory_order_acquire)) return got;
  std::unique_ptr<const T> mine = build();
  if (mine == nullptr) return nullptr;
  const T* expected = nullptr;
  if (published.compare_exchange_strong(expected, mine.get(), std::memory_order_acq_rel)) return mine.release();
  return expected;
}

}  // namespace

std::vector<sieve::Rule> SynonymDict::patterns() const {
  std::vector<sieve::Rule> patterns;
  patterns.reserve(entries_.size() + guards_.size());
  for (const Entry& entry : entries_) patterns.push_back({entry.variant, entry.canonical, entry.whole_word != 0});
  for (const Guard& guard : guards_) patterns.push_back({guard.text, canonical_of(guard), guard.whole_word});
  return patterns;
}

const sieve::Sieve* SynonymDict::sieve() const {
  if (entries_.empty()) return nullptr;
  return publish_once(sieve_, [&]() -> std::unique_ptr<const sieve::Sieve> {
    auto built = sieve::Sieve::build(patterns());
    return built ? std::make_unique<const sieve::Sieve>(std::move(*built)) : nullptr;
  });
}

const matcher::Automaton* SynonymDict::automaton() const {
  return publish_once(automaton_, [&]() -> std::unique_ptr<const matcher::Automaton> {
    const std::vector<sieve::Rule> all = patterns();
    std::vector<matcher::Pattern> patterns;
    patterns.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) patterns.emplace_back(all[i].variant, static_cast<std::uint32_t>(i));
    auto built = matcher::Automaton::build(patterns);
    return built.ok() ? std::make_unique<const matcher::Automaton>(std::move(built).value()) : nullptr;
  });
}

void SynonymDict::apply(std::string_view in, std::string& out, EditLog* log) const {
  out.clear();
  const sieve::Sieve* sieve = this->sieve();
  if (sieve == nullptr) {
    out.assign(in);
    return;
  }
  out.reserve(in.size());
  std::size_t copied = 0;
  // Takes bytes [start, end) of `in`, unless a whole-word pattern would cut
  // a word there.  A guard that finds the text as stored leaves it to be
  // copied, so that nothing is logged as an edit.
  const auto take = [&](std::size_t start, std::size_t end, std::string_view canonical, bool whole_word) {
    if (whole_word && !keeps_words_whole(in, start, end)) return false;
    if (in.substr(start, end - start) == canonical) return true;
    out.append(in.substr(copied, start - copied));
    const std::size_t at = out.size();
    out.append(canonical);
    if (log != nullptr) log->rewrite(in, start, end, out, at);
    copied = end;
    return true;
  };
  const auto found = [&](std::size_t offset) {
    return [&take, offset](const sieve::Found& f) {
      return take(offset + f.start, offset + f.end, f.canonical, f.whole_word);
    };
  };
  const std::size_t stopped = sieve->for_each_match(in, sieve::Sieve::budget(in.size()), found(0));
  if (stopped < in.size()) {
    // A text that makes the sieve compare too much: the automaton finishes
    // it in linear time, or, failing its build, the sieve without a budget.
    const std::string_view rest = in.substr(stopped);
    if (const matcher::Automaton* automaton = this->automaton()) {
      const std::size_t entries = entries_.size();
      automaton->for_each_match(rest, [&](const matcher::Match& m) {
        const bool is_entry = m.value < entries;
        const std::string_view canonical = is_entry ? entries_[m.value].canonical : canonical_of(guards_[m.value - entries]);
        const bool whole_word = is_entry ? entries_[m.value].whole_word : guards_[m.value - entries].whole_word;
        return take(stopped + m.start, stopped + m.end, canonical, whole_word);
      });
    } else {
      (void)sieve->for_each_match(rest, sieve::Sieve::UNLIMITED, found(stopped));
    }
  }
  out.append(in.substr(copied));
}

}  // namespace zenkor::l3_lexical::synonym
