// Normalizer: a Config run over text as one fixed sequence of stages.
//
// A Normalizer is immutable once built, so any number of threads may call
// normalize_with_segments on one instance at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/config.h"
#include "core/edit_log.h"
#include "core/l3_lexical/synonym.h"
#include "core/l4_extra/protect.h"
#include "core/native_width.h"
#include "core/plan.h"

namespace zenkor {

// One piece of the output, in output order.  Protected segments come from
// spans the stages never saw; trimming stops at them.
struct Segment {
  std::string text;
  bool is_protected = false;
};

// What normalize_with_segments returns: the joined text and the segments it
// was joined from.
struct Normalized {
  std::string text;
  std::vector<Segment> segments;
};

// One step that changed a text, as explain reports it: the option that
// switched it on, as users write it, and the text after it.
struct ExplainedStep {
  std::string option;
  std::string text;
};

// The normalized text and, for each of its characters, the index of the
// input character it came from (see core/origins.h), followed by the
// input's length: output characters [i, j) map to input characters
// [offsets[i], offsets[j]).  Indices count characters, not bytes.
struct TextWithOffsets {
  std::string text;
  std::vector<std::size_t> offsets;
};

// The two buffers a call works in.  Reusing one across calls saves
// allocating them again; one thread at a time may use it.
struct Workspace {
  std::string work;
  std::string scratch;
};

// What a buffer that a step writes is given room for, from its input's size:
// half as much again, which no text of the corpus outgrows.  Room never
// written to takes no memory of its own, while an output that outgrew its
// buffer would be copied into one twice as large with both held.
constexpr std::size_t room_for_growth(std::size_t size) noexcept { return size + size / 2; }

class Normalizer {
 public:
  explicit Normalizer(Config config)
      : config_(std::move(config)), plan_(config_, nullptr), native_(plan_, config_) {}

  // A Normalizer with `prenormalized` attached as it is: its variants are not
  // normalized again, so they must already be written the way this Config
  // writes text, as the synonyms() of a Normalizer with this Config are.
  // This is how a saved normalizer comes back exactly.  Each canonical form
  // becomes a guard (see synonym.h), written the way this Config writes text.
  Normalizer(Config config, l3_lexical::synonym::SynonymDict prenormalized);

  [[nodiscard]] const Config& config() const noexcept { return config_; }

  // The attached dictionary, or null.
  [[nodiscard]] const l3_lexical::synonym::SynonymDict* synonyms() const noexcept {
    return synonyms_ ? &*synonyms_ : nullptr;
  }

  // A Normalizer with the same Config and this one's dictionary (if any)
  // extended by `added`: for a variant in both, `added` wins.  The variants
  // of `added` are first normalized with this Config (without a dictionary),
  // so they are written the way text reaching the dictionary step is;
  // variants that normalize to nothing are dropped, and of variants that
  // become equal the one inserted last wins.  Canonical forms are kept as
  // given.  Entries already attached are not normalized a second time: not
  // every Config normalizes idempotently, and a twice-normalized variant
  // could miss text that was normalized once.  `added` is given back once
  // its variants are normalized, before the guards are built.
  [[nodiscard]] Normalizer with_synonyms(l3_lexical::synonym::SynonymDict added) const;

  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] Normalized normalize_with_segments(std::string_view text) const;

  // The joined text only, for callers that do not need the segments.
  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] std::string normalize(std::string_view text) const;

  // The same, written into `space`; the view stays valid until `space` is
  // used again.  REQUIRES: text is valid UTF-8 and does not lie in `space`.
  [[nodiscard]] std::string_view normalize(std::string_view text, Workspace& space) const;

  // What the plan finds in `text`; nothing found means normalize returns it
  // unchanged (see Plan::scan).
  [[nodiscard]] Plan::Found scan(CodeUnits text) const noexcept { return plan_.scan(text); }
  [[nodiscard]] bool may_change(CodeUnits text) const noexcept { return plan_.scan(text).any(); }

  // normalize of `text`, whose triggers a scan of the same text has found
  // already: `steps` as Plan::scan gave them.  REQUIRES as for normalize.
  [[nodiscard]] std::string_view normalize(std::string_view text, Plan::Mask steps, Workspace& space) const;

  // normalize of the text in space.work, which it overwrites: the text
  // needs no buffer of its own, which for a huge one saves its size.
  // REQUIRES: space.work is valid UTF-8, and `steps` what a scan of it found.
  [[nodiscard]] std::string_view normalize_in_work(Plan::Mask steps, Workspace& space) const;

  // normalize of `text` as a str stores it, with no UTF-8 (see
  // core/native_width.h), in which a scan found `found`: a changed result is
  // written into `output`, described by `wide`.  not_native when the UTF-8
  // path must do it.  When the dictionary is left after the other steps, it
  // alone runs over UTF-8, in `space`.
  [[nodiscard]] NativeWidth::Outcome normalize_native(CodeUnits text, Plan::Found found, NativeSpace& native,
                                                      Workspace& space, std::string& output, WideText& wide) const;

  // normalize as every stage that is on would give it, each run over the
  // whole text: the definition the plan's shortcuts are tested against.
  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] std::string normalize_stage_by_stage(std::string_view text) const;

  // The steps that change `text`, in pipeline order, each with the whole
  // text after it; the last text is normalize(text), and a text no step
  // changes gives none.  Wrapping URLs ("url_wrap"), trimming ("trim") and
  // the dictionary ("custom_dict") are steps of their own; the symbol step
  // is named by the options whose characters it wrote, joined by "+".
  // REQUIRES: text is valid UTF-8.
  [[nodiscard]] std::vector<ExplainedStep> explain(std::string_view text) const;

  // normalize(text), with the input character each output character came
  // from.  Slower than normalize: every step runs alone and records its
  // edits.  REQUIRES: text is valid UTF-8.
  [[nodiscard]] TextWithOffsets normalize_with_offsets(std::string_view text) const;

 private:
  // `dict` with every variant normalized by this Config, dictionary aside.
  [[nodiscard]] l3_lexical::synonym::SynonymDict prenormalized(const l3_lexical::synonym::SynonymDict& dict) const;

  // `dict` with a guard for each canonical form, normalized by `config`.
  [[nodiscard]] static l3_lexical::synonym::SynonymDict guarded(const Config& config,
                                                                l3_lexical::synonym::SynonymDict dict);

  // Writes step `i` of the plan over `in` into `out`, recording what it
  // changed in `log` when one is given.
  void run_step(std::size_t i, std::string_view in, std::string& out, EditLog* log = nullptr) const;

  // Writes steps [first, last) of a fusible run (Plan::fusible_until), those
  // of `present`, over `in` into `out` in one pass.
  void run_fused(std::size_t first, std::size_t last, Plan::Mask present, std::string_view in,
                 std::string& out) const;

  // Runs the steps of `present` over `in`, and then every later step that
  // a changed text triggers.  The result is `in` itself when no step
  // changed it, else it lies in space.work.
  [[nodiscard]] std::string_view run_steps(std::string_view in, Plan::Mask present, Workspace& space) const;

  // What explain and normalize_with_offsets share: the steps run one at a
  // time over the pieces of `text`, keeping each character's origin; the
  // steps' texts are kept when `keep_steps`.  Defined in core/trace.cc.
  struct Trace {
    std::vector<ExplainedStep> steps;
    TextWithOffsets result;
  };
  [[nodiscard]] Trace trace(std::string_view text, bool keep_steps) const;

  // The spans of `text` that the protect options keep as they are.
  [[nodiscard]] std::vector<l4_extra::protect::Span> protected_spans(std::string_view text) const;

  // normalize of `text` cut at `spans` (not empty): the segments joined into
  // space.work and trimmed.  REQUIRES: `text` does not lie in `space`.
  [[nodiscard]] std::string_view joined_segments(std::string_view text,
                                                 const std::vector<l4_extra::protect::Span>& spans, Plan::Mask steps,
                                                 Workspace& space) const;

  // Calls emit(before, piece, after, is_protected) for each segment of
  // `text` cut at `spans`, in order, its text the three joined: each plain
  // piece normalized from the steps of `steps` (one the stages empty is left
  // out; the view lasts until the next plain piece), each protected span as
  // it is, a URL between url_wrap's two strings when that is set.
  template <typename Emit>
  void for_each_segment(std::string_view text, const std::vector<l4_extra::protect::Span>& spans, Plan::Mask steps,
                        Workspace& space, Emit&& emit) const;

  // The segments of `text` cut at `spans`, each plain piece normalized from
  // the steps of `steps` (the triggers of the whole text hold those of every piece).
  [[nodiscard]] Normalized segments(std::string_view text, const std::vector<l4_extra::protect::Span>& spans,
                                    Plan::Mask steps, Workspace& space) const;

  Config config_;
  std::optional<l3_lexical::synonym::SynonymDict> synonyms_;
  Plan plan_;  // of config_ and synonyms_
  NativeWidth native_;  // of plan_
};

}  // namespace zenkor
