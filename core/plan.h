// The plan of a Config: the stages that run, in their fixed order, and which
// characters can make each of them change a text.
//
// A Normalizer compiles its plan once.  Normalizing then scans the text for
// the characters and contexts that trigger a stage (scan), runs only the
// stages the scan found something for, and after a stage that changed the
// text scans what it changed (rescan), since that may hold triggers of later
// stages.  A stage whose triggers are absent would have copied its input
// unchanged, so skipping it changes no output: the stage functions stay the
// definition, and Normalizer::normalize_stage_by_stage runs them all, as the
// reference the tests hold the plan to.
//
// The steps are those the option table names (core/config.h); each stage
// declares its Step (core/step.h): its rank in the order, its run and trigger
// functions, its context and flags.  Nothing here lists stages but the
// special handling of the context steps in the scan.
//
// Triggers are exact sets of characters for most stages.  Others need two
// characters, and the scan follows them: repeat_limit (a run longer than
// the limit), collapse_prolonged_run (ー or 〜 twice in a row),
// collapse_spaces (two spaces in a row; a TAB or U+3000 alone),
// unify_loanword_kana (a pair such as ヴァ; ヴ and a few others alone),
// strip_trailing_prolonged (a ー that ends a katakana word) and
// era_to_western (a 年 after the start of an era's name).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/step.h"

namespace zenkor {

namespace l3_lexical::synonym {
class SynonymDict;
}

// One bit per code point of the Basic Multilingual Plane, in blocks of 64.
class BmpSet {
 public:
  void add(char32_t c) noexcept { words_[c >> 6] |= std::uint64_t{1} << (c & 63); }
  [[nodiscard]] bool contains(char32_t c) const noexcept { return ((words_[c >> 6] >> (c & 63)) & 1) != 0; }
  // Every character of [first, last].
  void add_range(char32_t first, char32_t last) noexcept {
    for (char32_t c = first; c <= last;) {
      const char32_t end = std::min<char32_t>(last, c | 63);  // the last of c's block
      const unsigned width = end - c + 1;
      words_[c >> 6] |= (width == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << width) - 1)) << (c & 63);
      c = end + 1;
    }
  }
  void merge(const BmpSet& other) noexcept {
    for (std::size_t i = 0; i < words_.size(); ++i) words_[i] |= other.words_[i];
  }
  // The blocks that hold a character: merging a set that knows them costs
  // a few words instead of all 1,024.
  [[nodiscard]] std::vector<std::uint16_t> blocks() const {
    std::vector<std::uint16_t> held;
    for (std::size_t i = 0; i < words_.size(); ++i) {
      if (words_[i] != 0) held.push_back(static_cast<std::uint16_t>(i));
    }
    return held;
  }
  void merge(const BmpSet& other, const std::vector<std::uint16_t>& blocks) noexcept {
    for (const std::uint16_t i : blocks) words_[i] |= other.words_[i];
  }

 private:
  std::array<std::uint64_t, 1024> words_{};
};

class Plan {
 public:
  // Bit i stands for steps()[i].
  using Mask = std::uint32_t;

  // `synonyms` is the attached dictionary or null; the plan keeps what it
  // needs of it.
  Plan(const Config& config, const l3_lexical::synonym::SynonymDict* synonyms);

  // The steps that run, in their order: those of the option table (core/config.h)
  // that the Config switches on, by rank, and the dictionary's, null, last.
  [[nodiscard]] const std::vector<const Step*>& steps() const noexcept { return steps_; }

  // The option that switched step i on, as users write it ("custom_dict"
  // for the dictionary).
  [[nodiscard]] std::string_view option(std::size_t i) const noexcept { return options_[i]; }

  // The option value step i's triggers depend on (Step::variant).
  [[nodiscard]] int variant(std::size_t i) const noexcept { return variants_[i]; }

  // What a scan of a text found.
  struct Found {
    Mask steps = 0;      // the steps with a trigger in it
    bool other = false;  // white space at an end to trim, a URL to wrap, or a lone surrogate
    // A lone surrogate, or a character that starts a protected span or a URL
    // to wrap (":", "@", "#"): only the UTF-8 path handles them
    // (core/native_width.h).  Found only in text as a str stores it, and not
    // a change by itself.
    bool outside = false;
    [[nodiscard]] bool any() const noexcept { return steps != 0 || other; }
  };

  // The steps with a trigger in `text`.
  [[nodiscard]] Mask scan(std::string_view text) const noexcept;

  // The steps of `sought` with a trigger in `after`, the output of a step
  // whose input, `before`, held no trigger of theirs.  Only what the step
  // changed is read, with the characters around it that a trigger of two
  // characters or a run reaches: a trigger elsewhere was in `before` too.
  // An era's name is taken to come before what is read, unless nothing does:
  // may report the era step where a whole scan would not, and never misses a
  // step.
  [[nodiscard]] Mask rescan(std::string_view before, std::string_view after, Mask sought) const noexcept;

  // rescan for text as a str stores it: `after` is a step's output, whose
  // characters [first, end) are those it wrote in place of others (an empty
  // range where it only deleted).  REQUIRES: first <= end <= after.length.
  [[nodiscard]] Mask rescan(CodeUnits after, std::size_t first, std::size_t end, Mask sought) const noexcept;

  // The same for text as a str stores it, and the rest normalizing may
  // change: when nothing is found the output is certain to equal the input.
  // Lone surrogates, which no UTF-8 text can hold, count as found, so that
  // converting them reports the error.
  [[nodiscard]] Found scan(CodeUnits text) const noexcept;

  // The steps that only delete characters: the text they leave holds no
  // trigger that their input did not, but of the steps of context_steps().
  [[nodiscard]] Mask deleting_steps() const noexcept { return deleting_; }

  // The steps that deleting characters may trigger, by bringing two together.
  [[nodiscard]] Mask context_steps() const noexcept { return context_; }

  // Every step.
  [[nodiscard]] Mask all() const noexcept { return all_; }

  // One past the last step of the run of steps from i that map characters
  // one by one, each by its own set, none changing what another writes (the
  // removals of invisible characters and the compatibility expansion; the
  // two kanji tables): such a run can be applied as one pass.  i + 1 for a
  // step outside such a run.
  [[nodiscard]] std::size_t fusible_until(std::size_t i) const noexcept { return fusible_until_[i]; }

  // Whether `c` is a trigger of step i: the character step i changes, for
  // the steps of a fusible run.
  [[nodiscard]] bool triggered_by(std::size_t i, char32_t c) const noexcept {
    return c < 0x10000 ? bmp_[i]->contains(c) : astral_trigger(i, c);
  }

  // The steps after steps()[i].
  [[nodiscard]] Mask after(std::size_t i) const noexcept {
    return static_cast<Mask>(all_ & ~((Mask{2} << i) - 1));
  }

 private:

  // Adds `step` (null: the dictionary), switched on by `option`.
  void add(const Step* step, std::string_view option, int variant);
  void mark_fusible_runs();
  [[nodiscard]] bool astral_trigger(std::size_t i, char32_t c) const noexcept;

  // `era_before`: whether to take an era's name to start before the text;
  // `era_in_text`, if given, is set to whether one starts in it.
  template <typename Source>
  [[nodiscard]] Found scan_source(Source source, bool era_before = false, bool* era_in_text = nullptr) const noexcept;

  std::vector<const Step*> steps_;
  std::vector<std::string_view> options_;
  std::vector<int> variants_;       // per step: the option value its triggers depend on
  std::vector<const BmpSet*> bmp_;  // per step: its triggers below U+10000
  std::vector<std::size_t> fusible_until_;
  Mask all_ = 0;
  Mask deleting_ = 0;
  Mask context_ = 0;
  // The triggers of every step but the dictionary's, ":" when URLs are wrapped, and surrogates.
  BmpSet any_;
  // Per block of 64 code points below U+10000: the steps with a trigger in it.
  std::array<Mask, 1024> block_steps_{};
  int synonym_step_ = -1;
  bool astral_any_ = false;  // whether a character past U+FFFF may trigger a step
  // The dictionary's first characters, for the synonym step.
  std::shared_ptr<const BmpSet> synonym_bmp_;
  std::shared_ptr<const std::vector<char32_t>> synonym_astral_;  // sorted
  // The steps that look at context, or -1.
  int repeat_step_ = -1;
  int prolonged_step_ = -1;
  int spaces_step_ = -1;
  int choon_step_ = -1;     // strip_trailing_prolonged
  int loanword_step_ = -1;
  int era_step_ = -1;
  bool seconds_ = false;    // whether a step has triggers of two characters
  std::uint64_t repeat_limit_ = UINT64_MAX;  // no run is too long without repeat_limit
  bool trim_ = false;
  bool wrap_urls_ = false;
  // The characters every protected span or URL to wrap holds, and surrogates.
  BmpSet outside_;
  bool protects_ = false;  // whether a span is protected or a URL wrapped
};

}  // namespace zenkor
