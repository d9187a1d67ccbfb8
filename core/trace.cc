// Normalizing one step at a time, to show what each step did (explain) and
// where each output character came from (normalize_with_offsets).
//
// The pieces of the text (plain, protected) go through the steps together,
// so that after each step the whole text can be shown.  Each step runs on
// its own, never fused, and only on the pieces that hold one of its
// triggers, exactly as normalize would run it; given an EditLog, it records
// what it changed, and each piece's Origins follow those edits.

#include <array>
#include <string>
#include <utility>

#include "core/l1_char/symbols.h"
#include "core/l4_extra/protect.h"
#include "core/origins.h"
#include "core/pipeline.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"

namespace zenkor {
namespace {

// The symbol step runs for three options, and each writes a character of
// its own: unify_hyphens "-", unify_tildes "〜", unify_prolonged "ー".  So
// the characters the step wrote name the options that changed the text.
constexpr std::array<std::pair<char32_t, std::string_view>, 3> SYMBOL_OPTIONS = {{
    {U'-', "unify_hyphens"},
    {U'〜', "unify_tildes"},
    {U'ー', "unify_prolonged"},
}};

// Adds to `seen` (bit i for SYMBOL_OPTIONS[i]) the options whose characters
// the symbol step wrote into `after`.
void add_symbol_options(const EditLog& log, std::string_view after, unsigned& seen) {
  for (const Edit& e : log.edits()) {
    std::size_t pos = e.out_begin;
    const char32_t written = pos < e.out_end ? text::utf8::next(after, pos) : 0;
    for (std::size_t i = 0; i < SYMBOL_OPTIONS.size(); ++i) {
      if (SYMBOL_OPTIONS[i].first == written) seen |= 1u << i;
    }
  }
}

std::string symbol_options(unsigned seen) {
  std::string names;
  for (std::size_t i = 0; i < SYMBOL_OPTIONS.size(); ++i) {
    if ((seen >> i & 1) == 0) continue;
    if (!names.empty()) names += '+';
    names += SYMBOL_OPTIONS[i].second;
  }
  return names;
}

// One piece of the text on its way through the steps.
struct Piece {
  std::string text;
  bool is_protected;
  bool is_url;
  Origins origins;
  Plan::Mask triggered = 0;  // of a plain piece: the steps with a trigger in it
};

}  // namespace

Normalizer::Trace Normalizer::trace(std::string_view text, bool keep_steps) const {
  const Config& c = config_;
  Trace trace;
  // Cut as normalize cuts: protected spans when protection is on.
  std::vector<l4_extra::protect::Span> spans;
  if (c.protects_any()) {
    spans = l4_extra::protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags);
  }
  std::vector<Piece> pieces;
  std::size_t first = 0;  // the input characters before the piece
  for (const auto& piece : l4_extra::protect::segment(text, spans)) {
    const std::size_t length = text::utf8::length(piece.text);
    pieces.push_back({std::string(piece.text), piece.kind.has_value(), piece.kind == l4_extra::protect::Kind::Url,
                      Origins(first, length)});
    if (!piece.kind) pieces.back().triggered = plan_.scan(piece.text);
    first += length;
  }
  const auto joined = [&] {
    std::string all;
    all.reserve(text.size());
    for (const Piece& p : pieces) all += p.text;
    return all;
  };
  const auto changed = [&](std::string option) {
    if (keep_steps) trace.steps.push_back({std::move(option), joined()});
  };

  // The URL wrapper is inserted around each URL: the prefix maps to the
  // URL's start, the suffix to its end.
  if (c.url_wrap && !(c.url_wrap->first.empty() && c.url_wrap->second.empty())) {
    const auto& [prefix, suffix] = *c.url_wrap;
    bool wrapped = false;
    for (Piece& p : pieces) {
      if (!p.is_url) continue;
      std::string url = prefix + p.text + suffix;
      EditLog log;
      log.replace(0, 0, 0, prefix.size());
      log.replace(p.text.size(), p.text.size(), url.size() - suffix.size(), url.size());
      p.origins.follow(p.text, url, log);
      p.text = std::move(url);
      wrapped = true;
    }
    if (wrapped) changed("url_wrap");
  }

  EditLog log;
  std::string after;
  for (std::size_t i = 0; i < plan_.steps().size(); ++i) {
    // Named by the characters it wrote (SYMBOL_OPTIONS).
    const bool names_symbols = plan_.steps()[i] == &l1_char::symbols::UNIFY_STEP;
    bool step_changed = false;
    unsigned symbols = 0;
    for (Piece& p : pieces) {
      if (p.is_protected || ((p.triggered >> i) & 1) == 0) continue;
      log.clear();
      run_step(i, p.text, after, &log);
      if (after == p.text) continue;
      if (names_symbols) add_symbol_options(log, after, symbols);
      p.origins.follow(p.text, after, log);
      std::swap(p.text, after);
      p.triggered = plan_.scan(p.text);
      step_changed = true;
    }
    if (step_changed) changed(names_symbols ? symbol_options(symbols) : std::string(plan_.option(i)));
  }

  // Trimming stops at the first protected piece from either end.
  if (c.trim) {
    bool trimmed = false;
    const auto trim_piece = [&](Piece& p, bool front) {
      const std::string_view kept =
          front ? text::trim_white_space_front(p.text) : text::trim_white_space_back(p.text);
      if (kept.size() == p.text.size()) return;
      const std::size_t cut = p.text.size() - kept.size();
      if (front) {
        p.origins.drop_front(text::utf8::length(std::string_view(p.text).substr(0, cut)));
        p.text.erase(0, cut);
      } else {
        p.origins.drop_back(text::utf8::length(std::string_view(p.text).substr(kept.size())));
        p.text.resize(kept.size());
      }
      trimmed = true;
    };
    for (auto p = pieces.begin(); p != pieces.end() && !p->is_protected; ++p) {
      trim_piece(*p, true);
      if (!p->text.empty()) break;
    }
    for (auto p = pieces.rbegin(); p != pieces.rend() && !p->is_protected; ++p) {
      trim_piece(*p, false);
      if (!p->text.empty()) break;
    }
    if (trimmed) changed("trim");
  }

  if (!keep_steps) {
    trace.result.text = joined();
    std::vector<std::size_t>& offsets = trace.result.offsets;
    for (const Piece& p : pieces) {
      offsets.insert(offsets.end(), p.origins.indices().begin(), p.origins.indices().end() - 1);
    }
    offsets.push_back(first);
  }
  return trace;
}

std::vector<ExplainedStep> Normalizer::explain(std::string_view text) const { return trace(text, true).steps; }

TextWithOffsets Normalizer::normalize_with_offsets(std::string_view text) const {
  return std::move(trace(text, false).result);
}

}  // namespace zenkor
