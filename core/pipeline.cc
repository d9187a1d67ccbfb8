#include "core/pipeline.h"

#include <bit>
#include <cstddef>
#include <utility>

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
  const Config& c = config_;
  Workspace space;
  return segments(text,
                  l4_extra::protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags),
                  plan_.scan(text), space);
}

std::string_view Normalizer::normalize(std::string_view text, Plan::Mask steps, Workspace& space) const {
  const Config& c = config_;
  if (c.protects_any()) {
    auto spans = l4_extra::protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags);
    if (!spans.empty()) {
      space.work = segments(text, spans, steps, space).text;
      return space.work;
    }
  }
  // One plain piece: its segment list would hold a single string, so the
  // stages' result is trimmed and returned as it is, without joining.
  const std::string_view result = run_steps(text, steps, space);
  return c.trim ? text::trim_white_space(result) : result;
}

Normalized Normalizer::segments(std::string_view text, const std::vector<l4_extra::protect::Span>& spans,
                                Plan::Mask steps, Workspace& space) const {
  const Config& c = config_;
  Normalized result;
  // Plain text goes through the stages; a piece they empty is dropped.
  const auto add_plain = [&](std::string_view piece) {
    const std::string_view normalized = run_steps(piece, steps, space);
    if (!normalized.empty()) result.segments.push_back({std::string(normalized), false});
  };
  using l4_extra::protect::Kind;
  const auto pieces = l4_extra::protect::segment(text, spans);
  result.segments.reserve(pieces.size());
  for (const auto& piece : pieces) {
    if (!piece.kind) {
      add_plain(piece.text);
    } else if (*piece.kind == Kind::Url && c.url_wrap) {
      result.segments.push_back({c.url_wrap->first + std::string(piece.text) + c.url_wrap->second, true});
    } else {
      result.segments.push_back({std::string(piece.text), true});
    }
  }

  if (c.trim) trim(result.segments);

  result.text.reserve(text.size());
  for (const Segment& s : result.segments) result.text += s.text;
  return result;
}

}  // namespace zenkor
