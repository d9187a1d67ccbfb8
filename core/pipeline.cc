#include "core/pipeline.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>

#include "core/code_units.h"
#include "core/l4_extra/protect.h"
#include "core/text/rewriter.h"
#include "core/text/white_space.h"

namespace zenkor {
namespace {

void trim_front(std::string& s) { s.erase(0, s.size() - text::trim_white_space_front(s).size()); }

void trim_back(std::string& s) { s.resize(text::trim_white_space_back(s).size()); }

// Trims the outer ends of the output, stopping at the first protected segment
// from either side.
void trim(std::vector<Segment>& segments) {
  while (!segments.empty() && !segments.front().is_protected) {
    trim_front(segments.front().text);
    if (!segments.front().text.empty()) break;
    segments.erase(segments.begin());
  }
  while (!segments.empty() && !segments.back().is_protected) {
    trim_back(segments.back().text);
    if (!segments.back().text.empty()) break;
    segments.pop_back();
  }
}

// Trims the outer ends of joined segments as trim does the segments: the
// white space before the first protected segment, which starts at
// `first_protected`, and after the last one, which ends at
// `last_protected_end` (npos for none: the whole text).
void trim_outside(std::string& joined, std::size_t first_protected, std::size_t last_protected_end) {
  const std::size_t back_from = last_protected_end == std::string::npos ? 0 : last_protected_end;
  joined.resize(back_from + text::trim_white_space_back(std::string_view(joined).substr(back_from)).size());
  const std::string_view head = std::string_view(joined).substr(0, std::min(first_protected, joined.size()));
  joined.erase(0, head.size() - text::trim_white_space_front(head).size());
}

}  // namespace

void Normalizer::run_step(std::size_t i, std::string_view in, std::string& out, EditLog* log) const {
  if (const Step* step = plan_.steps()[i]) return step->run(config_, in, out, log);
  synonyms_->apply(in, out, log);  // the dictionary's step, the one outside the option table
}

void Normalizer::run_fused(std::size_t first, std::size_t last, Plan::Mask present, std::string_view in,
                           std::string& out) const {
  text::Rewriter w(in, out);
  while (!w.done()) {
    const char32_t c = w.next();
    for (std::size_t i = first; i < last; ++i) {
      if (((present >> i) & 1) == 0 || !plan_.triggered_by(i, c)) continue;
      plan_.steps()[i]->rewrite_char(w, c);
      break;
    }
  }
  w.finish();
}

std::string_view Normalizer::run_steps(std::string_view in, Plan::Mask present, Workspace& space) const {
  // The first step that changes the text reads `in` itself; after that each
  // step reads space.work and writes space.scratch, and the buffers swap
  // when it changed something.  Capacity is reused throughout.
  std::string_view current = in;
  const std::size_t count = plan_.steps().size();
  for (std::size_t i = 0; i < count; ++i) {
    if (((present >> i) & 1) == 0) continue;
    // Room for the step's output up front, and for some growth: an output
    // that outgrew its buffer would be copied into one twice as large while
    // both are held, for a huge text one more of its size.  (Room never
    // written to takes no memory of its own.)
    if (const std::size_t room = room_for_growth(current.size()); space.scratch.capacity() < room) {
      space.scratch.clear();  // so that nothing of it is copied
      space.scratch.reserve(room);
    }
    // Two or more steps of a fusible run make one pass.
    const std::size_t until = plan_.fusible_until(i);
    Plan::Mask ran = present & (((Plan::Mask{1} << until) - 1) & ~((Plan::Mask{1} << i) - 1));
    if (std::popcount(ran) > 1) {
      run_fused(i, until, present, current, space.scratch);
      i = until - 1;
    } else {
      ran = Plan::Mask{1} << i;
      run_step(i, current, space.scratch);
    }
    if (space.scratch == current) continue;
    // The new text may hold triggers of later steps that its input did not;
    // a step that only deletes can add none but by bringing characters
    // together.  Looking for them where the text changed costs less than
    // running the steps it rules out.  (Before the swap: a short string
    // keeps its characters in itself, and they would change places.)
    const Plan::Mask later = plan_.after(i);
    const Plan::Mask sought =
        ((ran & ~plan_.deleting_steps()) == 0 ? later & plan_.context_steps() : later) & ~present;
    if (sought != 0) present |= plan_.rescan(current, space.scratch, sought);
    std::swap(space.work, space.scratch);
    current = space.work;
  }
  return current;
}

template <typename Emit>
void Normalizer::for_each_segment(std::string_view text, const std::vector<l4_extra::protect::Span>& spans,
                                  Plan::Mask steps, Workspace& space, Emit&& emit) const {
  const Config& c = config_;
  using l4_extra::protect::Kind;
  for (const auto& piece : l4_extra::protect::segment(text, spans)) {
    if (!piece.kind) {
      // Plain text goes through the stages; a piece they empty is dropped.
      const std::string_view normalized = run_steps(piece.text, steps, space);
      if (!normalized.empty()) emit({}, normalized, {}, false);
    } else if (*piece.kind == Kind::Url && c.url_wrap) {
      emit(c.url_wrap->first, piece.text, c.url_wrap->second, true);
    } else {
      emit({}, piece.text, {}, true);
    }
  }
}

Normalizer::Normalizer(Config config, l3_lexical::synonym::SynonymDict prenormalized)
    : config_(std::move(config)),
      synonyms_(guarded(config_, std::move(prenormalized))),
      plan_(config_, &*synonyms_),
      native_(plan_, config_) {}

l3_lexical::synonym::SynonymDict Normalizer::guarded(const Config& config, l3_lexical::synonym::SynonymDict dict) {
  const Normalizer plain(config);
  dict.guard_canonical_forms([&plain](std::string_view canonical) { return plain.normalize(canonical); });
  return dict;
}

l3_lexical::synonym::SynonymDict Normalizer::prenormalized(const l3_lexical::synonym::SynonymDict& dict) const {
  const Normalizer plain(config_);
  l3_lexical::synonym::SynonymDict normalized;
  normalized.reserve(dict.size());
  // In insert order, so of variants that become equal the last given wins.
  dict.visit_in_insert_order([&](const l3_lexical::synonym::SynonymDict::Entry& entry) {
    normalized.insert(plain.normalize(entry.variant), entry.canonical, entry.whole_word != 0);
  });
  return normalized;
}

Normalizer Normalizer::with_synonyms(l3_lexical::synonym::SynonymDict added) const {
  l3_lexical::synonym::SynonymDict merged = synonyms_ ? *synonyms_ : l3_lexical::synonym::SynonymDict();
  merged.extend(prenormalized(added));
  added = l3_lexical::synonym::SynonymDict();
  return Normalizer(config_, std::move(merged));
}

std::string Normalizer::normalize(std::string_view text) const {
  Workspace space;
  return std::string(normalize(text, space));
}

std::string_view Normalizer::normalize(std::string_view text, Workspace& space) const {
  return normalize(text, plan_.scan(text), space);
}

std::string Normalizer::normalize_stage_by_stage(std::string_view text) const {
  Workspace space;
  return std::string(normalize(text, plan_.all(), space));
}

Normalized Normalizer::normalize_with_segments(std::string_view text) const {
  Workspace space;
  return segments(text, protected_spans(text), plan_.scan(text), space);
}

std::vector<l4_extra::protect::Span> Normalizer::protected_spans(std::string_view text) const {
  const Config& c = config_;
  if (!c.protects_any()) return {};
  return l4_extra::protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags);
}

std::string_view Normalizer::normalize(std::string_view text, Plan::Mask steps, Workspace& space) const {
  const auto spans = protected_spans(text);
  if (!spans.empty()) return joined_segments(text, spans, steps, space);
  // One plain piece: its segment list would hold a single string, so the
  // stages' result is trimmed and returned as it is, without joining.
  const std::string_view result = run_steps(text, steps, space);
  return config_.trim ? text::trim_white_space(result) : result;
}

NativeWidth::Outcome Normalizer::normalize_native(CodeUnits text, Plan::Found found, NativeSpace& native,
                                                  Workspace& space, std::string& output, WideText& wide) const {
  CodeUnits left{};
  const NativeWidth::Outcome outcome = native_.normalize(plan_, text, found, native, output, wide, left);
  if (outcome != NativeWidth::Outcome::dictionary_left) return outcome;
  // The other steps ran over the code units; the dictionary runs over UTF-8,
  // as the last step of run_steps, and the result is trimmed after it.  The
  // scan read the text whole, so it holds no lone surrogate.
  (void)to_utf8(left, native.utf8);
  std::string_view result = run_steps(native.utf8, native_.dictionary(), space);
  if (config_.trim) result = text::trim_white_space(result);
  wide = from_utf8(result, output);
  return same_characters(wide.units, text) ? NativeWidth::Outcome::unchanged : NativeWidth::Outcome::changed;
}

std::string_view Normalizer::normalize_in_work(Plan::Mask steps, Workspace& space) const {
  const auto spans = protected_spans(space.work);
  if (!spans.empty()) {
    const std::string text = std::exchange(space.work, std::string());
    return joined_segments(text, spans, steps, space);
  }
  // run_steps reads its input only until the first step that changes it,
  // which writes space.scratch; the swap that follows makes the input's
  // buffer the next step's scratch.
  const std::string_view result = run_steps(space.work, steps, space);
  return config_.trim ? text::trim_white_space(result) : result;
}

std::string_view Normalizer::joined_segments(std::string_view text, const std::vector<l4_extra::protect::Span>& spans,
                                             Plan::Mask steps, Workspace& space) const {
  // The segments are written straight into one string, trimmed where
  // segments() would trim them: no copy of each, which for a huge text
  // would be one more of its size.
  std::string joined;
  joined.reserve(room_for_growth(text.size()));
  std::size_t first_protected = std::string::npos;
  std::size_t last_protected_end = std::string::npos;
  for_each_segment(text, spans, steps, space,
                   [&](std::string_view before, std::string_view piece, std::string_view after, bool is_protected) {
                     if (is_protected && first_protected == std::string::npos) first_protected = joined.size();
                     joined.append(before).append(piece).append(after);
                     if (is_protected) last_protected_end = joined.size();
                   });
  if (config_.trim) trim_outside(joined, first_protected, last_protected_end);
  space.work = std::move(joined);
  return space.work;
}

Normalized Normalizer::segments(std::string_view text, const std::vector<l4_extra::protect::Span>& spans,
                                Plan::Mask steps, Workspace& space) const {
  Normalized result;
  for_each_segment(text, spans, steps, space,
                   [&](std::string_view before, std::string_view piece, std::string_view after, bool is_protected) {
                     std::string segment;
                     segment.reserve(before.size() + piece.size() + after.size());
                     segment.append(before).append(piece).append(after);
                     result.segments.push_back({std::move(segment), is_protected});
                   });
  if (config_.trim) trim(result.segments);

  result.text.reserve(text.size());
  for (const Segment& s : result.segments) result.text += s.text;
  return result;
}

}  // namespace zenkor
