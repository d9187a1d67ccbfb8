// The user's synonym dictionary: variant forms of words and their canonical
// forms, applied to text as the last pipeline step.
//
// Entries remember the order in which they were inserted, a later insert of
// the same variant replacing its canonical form and counting as its latest
// insert.  Everything derived from a dictionary in that order, such as
// collapsing variants during pre-normalization (the last given wins), is the
// same on every run and machine.
//
// `apply` rewrites every occurrence of a variant in one left-to-right pass,
// leftmost-longest and without overlaps; canonical forms written into the
// output are never searched again, so entries do not chain.
//
// A whole-word entry is not taken where its match would start or end inside
// a run of katakana or of Latin letters (word_edges.h); a shorter variant
// starting at the same character may be taken instead.
//
// Guards keep text that is already canonical as it is.  The owner of a
// dictionary (the Normalizer it is attached to) gives each canonical form,
// written the way matched text is written, as a guard: where the text reads
// as a guard and no variant found there is longer, the canonical form is
// written as stored and the search goes on after it.  So 水曜日 is not read
// as the variant 水曜 followed by 日.  Guards are not entries: size() and
// entries() leave them out, and every change of the entries drops them.
//
// The search (the
// sieve) is compiled at the first `apply`, and the automaton that finishes a
// text the sieve gives up on at the first such text; both are cached:
// concurrent first calls may each build one, and the first to publish wins.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/edit_log.h"
#include "core/result.h"

namespace zenkor::l3_lexical::synonym {

namespace matcher {
class Automaton;
}
namespace sieve {
class Sieve;
struct Rule;
}

// Error of the text loaders.  display() is the fixed text users see.
struct SynonymDictError {
  enum class Kind : std::uint8_t { InvalidRow, InvalidJson };
  Kind kind;
  std::size_t position;      // InvalidRow: 1-based line; InvalidJson: 0-based character index
  std::string_view message;  // InvalidJson only

  [[nodiscard]] std::string display() const;
};

class SynonymDict;
using LoadResult = Result<SynonymDict, SynonymDictError>;

class SynonymDict {
 public:
  struct Entry {
    std::string variant;  // never empty
    std::string canonical;
    // When it was last inserted: later inserts have larger stamps.  The mark
    // shares its word: half a million entries take 4 MB less.
    std::uint64_t stamp : 63;
    std::uint64_t whole_word : 1;
  };

  // Text that is written as the canonical form of entry `entry` where it is
  // found, and whether it is found as a whole word only.
  struct Guard {
    std::string text;  // never empty, never a variant
    std::uint32_t entry;
    bool whole_word;
  };

  SynonymDict() = default;
  // A copy has the same entries and compiles its own matcher when first used.
  SynonymDict(const SynonymDict& other);
  SynonymDict& operator=(const SynonymDict& other);
  SynonymDict(SynonymDict&& other) noexcept;
  SynonymDict& operator=(SynonymDict&& other) noexcept;
  ~SynonymDict();

  // Adds an entry, or replaces the canonical form and the mark of an
  // existing variant and makes it the latest insert.  An empty variant is
  // ignored.  Drops the guards.
  // REQUIRES: no other thread uses the dictionary.
  void insert(std::string variant, std::string canonical, bool whole_word = false);

  // Marks every entry as whole-word or not.
  // REQUIRES: no other thread uses the dictionary.
  void mark_whole_words(bool whole_word) noexcept;

  // Sets the guards of the canonical forms, each form written as `write`
  // gives it (the way text reaching the dictionary is written).
  // REQUIRES: no other thread uses the dictionary.
  void guard_canonical_forms(const std::function<std::string(std::string_view)>& write);
  [[nodiscard]] const std::vector<Guard>& guards() const noexcept { return guards_; }
  [[nodiscard]] std::string_view canonical_of(const Guard& guard) const noexcept {
    return entries_[guard.entry].canonical;
  }

  // Inserts every entry of `other` in its insert order: its canonical forms
  // and marks win.  Drops the guards.
  void extend(SynonymDict other);

  // Frees the index that finds an entry by its variant, which only insert
  // uses: a dictionary that is only read needs none, and the next insert
  // builds it again.
  void drop_index() noexcept { std::vector<std::uint32_t>().swap(index_); }

  // Room for `count` entries in all, so that neither the entries nor the
  // index are copied into larger ones while up to that many are inserted (a
  // copy beside the old one would double a large dictionary's peak).  Room
  // never filled costs address space, not memory; the index is sized at the
  // first insert.
  void reserve(std::size_t count) {
    entries_.reserve(count);
    planned_ = count;
  }

  // Stage form: writes `in` with every variant replaced into `out`.
  void apply(std::string_view in, std::string& out, EditLog* log = nullptr) const;

  [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
  [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }
  [[nodiscard]] const std::vector<Entry>& entries() const noexcept { return entries_; }
  // Indices into entries(), ordered by each entry's latest insert.
  [[nodiscard]] std::vector<std::size_t> insert_order() const;
  // Calls visit(entry) for every entry in insert order.  The entries of a
  // dictionary as it was loaded already are in that order, and then the
  // order is not built (half a million entries would take 4 MB for it).
  template <typename Visit>
  void visit_in_insert_order(Visit&& visit) const {
    if (std::is_sorted(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.stamp < b.stamp; })) {
      for (const Entry& entry : entries_) visit(entry);
      return;
    }
    for (const std::size_t i : insert_order()) visit(entries_[i]);
  }

  // One entry per line: variant, `delimiter`, canonical form.
  [[nodiscard]] static LoadResult from_delimited(std::string_view text, char32_t delimiter);
  // A JSON object mapping each canonical form to the array of its variants.
  [[nodiscard]] static LoadResult from_json_grouped(std::string_view text);

 private:
  static constexpr std::uint32_t EMPTY_SLOT = 0xFFFFFFFF;

  // The compiled search, or null for an empty dictionary or a failed build
  // (which the next call retries).
  [[nodiscard]] const sieve::Sieve* sieve() const;
  [[nodiscard]] const matcher::Automaton* automaton() const;
  void forget_compiled() noexcept;

  // The entry of `variant`, or null.
  [[nodiscard]] const Entry* entry_of(std::string_view variant);

  [[nodiscard]] std::size_t slot_of(std::string_view variant) const noexcept;
  void rebuild_index();

  // The patterns the search looks for, in this order: the entries, then the
  // guards.
  [[nodiscard]] std::vector<sieve::Rule> patterns() const;

  std::vector<Entry> entries_;
  std::vector<Guard> guards_;
  std::uint64_t next_stamp_ = 0;
  // Open-addressing index into entries_ by variant; EMPTY_SLOT marks a free slot.
  std::vector<std::uint32_t> index_;
  std::size_t planned_ = 0;  // the entries reserve made room for
  mutable std::atomic<const sieve::Sieve*> sieve_{nullptr};
  mutable std::atomic<const matcher::Automaton*> automaton_{nullptr};
};

}  // namespace zenkor::l3_lexical::synonym
