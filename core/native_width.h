// Normalizing text as a str stores it, with no UTF-8 on the way: the path of
// the common changes (letter case, fullwidth ASCII, halfwidth kana, old kanji,
// a final ー, runs of spaces or of a character).
//
// A Normalizer decides once which steps of its plan have a form here: a run of
// neighbouring steps that rewrite characters one for one becomes one table
// (core/native_tables.h), a step that shortens runs or strips a final ー its
// template (core/native_runs.h).  A text whose scan found only such steps,
// and nothing to protect, runs them one after the other over its code units,
// and after each that changed it a scan of the new text finds the later
// steps it now triggers; the result is written in the narrowest width that
// holds it.  The dictionary, which runs after every other step, may follow
// them: then it alone runs over UTF-8 (Normalizer::normalize_native).
// Anything else (numerals, eras, emoji, a protected span, a character a
// table has no entry for) is left to the UTF-8 path, whose output this one
// gives byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/code_units.h"
#include "core/config.h"
#include "core/native_runs.h"
#include "core/native_tables.h"
#include "core/plan.h"

namespace zenkor {

// The two buffers the passes write in turn; one thread at a time may use them.
struct NativeSpace {
  std::vector<std::uint32_t> a;
  std::vector<std::uint32_t> b;
  std::string utf8;  // the text the dictionary is left to, as UTF-8
};

class NativeWidth {
 public:
  NativeWidth(const Plan& plan, const Config& config);

  // dictionary_left: every step but the dictionary has run, and the
  // dictionary has a trigger; the text so far is `left`, not yet trimmed.
  enum class Outcome : std::uint8_t { unchanged, changed, not_native, dictionary_left };

  // Normalizes `text`, in which plan.scan(text) found `found`.  A changed
  // result is written into `output` as a str will hold it, described by
  // `wide` as from_utf8 describes its result.  not_native when the UTF-8 path
  // must do it.  REQUIRES: `plan` is the one this was built from.
  [[nodiscard]] Outcome normalize(const Plan& plan, CodeUnits text, Plan::Found found, NativeSpace& space,
                                  std::string& output, WideText& wide, CodeUnits& left) const;

  // The dictionary's step, which has no form here but may come after the
  // others: it runs over UTF-8 (Normalizer::normalize_native).
  [[nodiscard]] Plan::Mask dictionary() const noexcept { return dictionary_; }

 private:
  // A table of steps, or the template of one step.
  struct Stage {
    Plan::Mask steps;
    std::size_t last;  // the index of its last step
    std::shared_ptr<const CharTable> table;
    NativeRun run = NativeRun::none;
  };

  template <typename Unit>
  [[nodiscard]] Pass apply(const Stage& stage, const Unit* in, std::size_t length, std::vector<std::uint32_t>& out,
                           Changes& changes) const;

  std::vector<Stage> stages_;
  Plan::Mask native_ = 0;
  Plan::Mask dictionary_ = 0;
  std::size_t repeat_limit_ = 0;
  bool trim_ = false;
};

}  // namespace zenkor
