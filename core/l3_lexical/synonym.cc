#include "core/l3_lexical/synonym.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>

#include "core/l3_lexical/synonym/matcher.h"
#include "core/l3_lexical/synonym/sieve.h"

namespace zenkor::l3_lexical::synonym {

SynonymDict::SynonymDict(const SynonymDict& other)
    : entries_(other.entries_), next_stamp_(other.next_stamp_), index_(other.index_) {}

SynonymDict& SynonymDict::operator=(const SynonymDict& other) {
  if (this != &other) {
    entries_ = other.entries_;
    next_stamp_ = other.next_stamp_;
    index_ = other.index_;
    forget_compiled();
  }
  return *this;
}

SynonymDict::SynonymDict(SynonymDict&& other) noexcept
    : entries_(std::move(other.entries_)),
      next_stamp_(other.next_stamp_),
      index_(std::move(other.index_)),
      sieve_(other.sieve_.exchange(nullptr)),
      automaton_(other.automaton_.exchange(nullptr)) {}

SynonymDict& SynonymDict::operator=(SynonymDict&& other) noexcept {
  if (this != &other) {
    entries_ = std::move(other.entries_);
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

void SynonymDict::insert(std::string variant, std::string canonical) {
  if (variant.empty()) return;
  forget_compiled();
  if (index_.size() < 2 * (entries_.size() + 1)) rebuild_index();
  const std::size_t slot = slot_of(variant);
  if (index_[slot] != EMPTY_SLOT) {
    Entry& entry = entries_[index_[slot]];
    entry.canonical = std::move(canonical);
    entry.stamp = next_stamp_++;
    return;
  }
  index_[slot] = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back({std::move(variant), std::move(canonical), next_stamp_++});
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
    return;
  }
  for (const std::size_t i : other.insert_order()) {
    insert(std::move(other.entries_[i].variant), std::move(other.entries_[i].canonical));
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

const sieve::Sieve* SynonymDict::sieve() const {
  if (entries_.empty()) return nullptr;
  return publish_once(sieve_, [&]() -> std::unique_ptr<const sieve::Sieve> {
    std::vector<sieve::Rule> rules;
    rules.reserve(entries_.size());
    for (const Entry& entry : entries_) rules.push_back({entry.variant, entry.canonical});
    auto built = sieve::Sieve::build(rules);
    return built ? std::make_unique<const sieve::Sieve>(std::move(*built)) : nullptr;
  });
}

const matcher::Automaton* SynonymDict::automaton() const {
  return publish_once(automaton_, [&]() -> std::unique_ptr<const matcher::Automaton> {
    std::vector<matcher::Pattern> patterns;
    patterns.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      patterns.emplace_back(entries_[i].variant, static_cast<std::uint32_t>(i));
    }
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
  const auto replace = [&](std::size_t start, std::size_t end, std::string_view canonical) {
    out.append(in.substr(copied, start - copied));
    const std::size_t at = out.size();
    out.append(canonical);
    if (log != nullptr) log->rewrite(in, start, end, out, at);
    copied = end;
  };
  const auto found = [&](std::size_t offset) {
    return [&replace, offset](const sieve::Found& f) { replace(offset + f.start, offset + f.end, f.canonical); };
  };
  const std::size_t stopped = sieve->for_each_match(in, sieve::Sieve::budget(in.size()), found(0));
  if (stopped < in.size()) {
    // A text that makes the sieve compare too much: the automaton finishes
    // it in linear time, or, failing its build, the sieve without a budget.
    const std::string_view rest = in.substr(stopped);
    if (const matcher::Automaton* automaton = this->automaton()) {
      automaton->for_each_match(rest, [&](const matcher::Match& m) {
        replace(stopped + m.start, stopped + m.end, entries_[m.value].canonical);
      });
    } else {
      (void)sieve->for_each_match(rest, sieve::Sieve::UNLIMITED, found(stopped));
    }
  }
  out.append(in.substr(copied));
}

}  // namespace zenkor::l3_lexical::synonym
