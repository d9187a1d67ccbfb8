#include "core/l3_lexical/synonym.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>

#include "core/l3_lexical/synonym/matcher.h"

namespace zenkor::l3_lexical::synonym {

SynonymDict::SynonymDict(const SynonymDict& other)
    : entries_(other.entries_), next_stamp_(other.next_stamp_), index_(other.index_) {}

SynonymDict& SynonymDict::operator=(const SynonymDict& other) {
  if (this != &other) {
    entries_ = other.entries_;
    next_stamp_ = other.next_stamp_;
    index_ = other.index_;
    forget_automaton();
  }
  return *this;
}

SynonymDict::SynonymDict(SynonymDict&& other) noexcept
    : entries_(std::move(other.entries_)),
      next_stamp_(other.next_stamp_),
      index_(std::move(other.index_)),
      automaton_(other.automaton_.exchange(nullptr)) {}

SynonymDict& SynonymDict::operator=(SynonymDict&& other) noexcept {
  if (this != &other) {
    entries_ = std::move(other.entries_);
    next_stamp_ = other.next_stamp_;
    index_ = std::move(other.index_);
    forget_automaton();
    automaton_.store(other.automaton_.exchange(nullptr));
  }
  return *this;
}

SynonymDict::~SynonymDict() { forget_automaton(); }

void SynonymDict::forget_automaton() noexcept { delete automaton_.exchange(nullptr); }

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
  forget_automaton();
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

const matcher::Automaton* SynonymDict::automaton() const {
  if (entries_.empty()) return nullptr;
  if (const auto* published = automaton_.load(std::memory_order_acquire)) return published;

  // Built without any lock: racing threads each build, the first publishes.
  std::vector<matcher::Pattern> patterns;
  patterns.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    patterns.emplace_back(entries_[i].variant, static_cast<std::uint32_t>(i));
  }
  auto built = matcher::Automaton::build(patterns);
  if (!built.ok()) return nullptr;
  auto mine = std::make_unique<const matcher::Automaton>(std::move(built).value());
  const matcher::Automaton* expected = nullptr;
  if (automaton_.compare_exchange_strong(expected, mine.get(), std::memory_order_acq_rel)) return mine.release();
  return expected;
}

void SynonymDict::apply(std::string_view in, std::string& out, EditLog* log) const {
  out.clear();
  const matcher::Automaton* automaton = this->automaton();
  if (automaton == nullptr) {
    out.assign(in);
    return;
  }
  out.reserve(in.size());
  std::size_t copied = 0;
  automaton->for_each_match(in, [&](const matcher::Match& m) {
    out.append(in.substr(copied, m.start - copied));
    const std::size_t at = out.size();
    out.append(entries_[m.value].canonical);
    if (log != nullptr) log->rewrite(in, m.start, m.end, out, at);
    copied = m.end;
  });
  out.append(in.substr(copied));
}

}  // namespace zenkor::l3_lexical::synonym
