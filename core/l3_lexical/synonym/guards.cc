// The guards of a dictionary's canonical forms (see synonym.h).
//
// A guard is kept only where it can change a result: where it rewrites text
// written otherwise than its canonical form, or where, without it, a variant
// would be taken inside text that is already canonical (水曜 in 水曜日, 東京
// in 東京都庁).  A variant found where a guard starts and at least as long
// is taken anyway, and where no variant starts inside the guard's text the
// search finds nothing there with or without it.  Of the 19,891 canonical
// forms of the Sudachi synonyms under for_search, this keeps 6,412 (3,519 of
// them written otherwise), sparing the search a look at most of the common
// words that are canonical forms.

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "core/l3_lexical/synonym.h"
#include "core/l3_lexical/synonym/word_edges.h"
#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym {

namespace {

// Guards longer than this many bytes are kept unchecked: the check looks up
// every piece of a guard that starts and ends at a character, which for a
// canonical form of megabytes would take hours; 96 bytes are 32 kanji, longer
// than all but five headwords of the Sudachi synonyms.
constexpr std::size_t LONGEST_GUARD_CHECKED = 96;

}  // namespace

void SynonymDict::guard_canonical_forms(const std::function<std::string(std::string_view)>& write) {
  forget_compiled();
  guards_.clear();
  // The entries by canonical form, so that each form is written once.
  // (Sorting indices, not a hash map of the forms: a dictionary of half a
  // million entries is loaded within a few times its size.)
  std::vector<std::uint32_t> order(entries_.size());
  std::iota(order.begin(), order.end(), std::uint32_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return entries_[a].canonical < entries_[b].canonical; });
  // One candidate for each canonical form, naming the latest entry that
  // names the form; whole-word when any of those entries is.
  std::vector<Guard> guards;
  std::size_t forms = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    forms += i == 0 || entries_[order[i]].canonical != entries_[order[i - 1]].canonical;
  }
  guards.reserve(forms);
  for (std::size_t i = 0; i < order.size();) {
    const std::string& canonical = entries_[order[i]].canonical;
    Guard guard{{}, order[i], false};
    for (; i < order.size() && entries_[order[i]].canonical == canonical; ++i) {
      guard.whole_word = guard.whole_word || entries_[order[i]].whole_word != 0;
      if (entries_[order[i]].stamp > entries_[guard.entry].stamp) guard.entry = order[i];
    }
    if (canonical.empty()) continue;
    guard.text = write(canonical);
    if (!guard.text.empty()) guards.push_back(std::move(guard));
  }

  // The variants in byte order, for the variants that go on past a guard.
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return entries_[a].variant < entries_[b].variant; });
  const auto a_variant_starts_with = [&](std::string_view text) {
    const auto it = std::lower_bound(order.begin(), order.end(), text,
                                     [&](std::uint32_t e, std::string_view t) { return entries_[e].variant < t; });
    return it != order.end() && std::string_view(entries_[*it].variant).starts_with(text);
  };
  // Whether a variant may be taken at byte `offset` of `text`: one that is
  // a prefix of the rest (shorter than the whole text at offset 0), or one
  // the rest is a prefix of.  A whole-word variant that would start or end
  // inside a run of `text` is not taken there.
  bool all_whole_words = true;
  for (const Entry& entry : entries_) all_whole_words = all_whole_words && entry.whole_word != 0;
  const auto a_variant_starts_at = [&](std::string_view text, std::size_t offset) {
    const bool starts_in_a_run = cuts_a_run(text, offset);
    if (starts_in_a_run && all_whole_words) return false;
    const std::string_view rest = text.substr(offset);
    for (std::size_t end = 0; end < rest.size();) {
      (void)text::utf8::next(rest, end);
      if (offset == 0 && end == rest.size()) break;  // the guard itself
      const Entry* entry = entry_of(rest.substr(0, end));
      if (entry == nullptr) continue;
      if (entry->whole_word == 0 || !(starts_in_a_run || cuts_a_run(text, offset + end))) return true;
    }
    return offset > 0 && a_variant_starts_with(rest);
  };
  const auto matters = [&](const Guard& guard) {
    if (guard.text != canonical_of(guard) || guard.text.size() > LONGEST_GUARD_CHECKED) return true;
    for (std::size_t offset = 0; offset < guard.text.size(); (void)text::utf8::next(guard.text, offset)) {
      if (a_variant_starts_at(guard.text, offset)) return true;
    }
    return false;
  };

  // A variant keeps its own mapping; of canonical forms written alike, the
  // one named last guards.
  std::sort(guards.begin(), guards.end(), [&](const Guard& a, const Guard& b) {
    return a.text != b.text ? a.text < b.text : entries_[a.entry].stamp > entries_[b.entry].stamp;
  });
  for (std::size_t i = 0; i < guards.size();) {
    std::size_t next = i + 1;
    while (next < guards.size() && guards[next].text == guards[i].text) ++next;
    if (entry_of(guards[i].text) == nullptr && matters(guards[i])) guards_.push_back(std::move(guards[i]));
    i = next;
  }
}

}  // namespace zenkor::l3_lexical::synonym
