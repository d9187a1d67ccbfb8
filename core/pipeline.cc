#include "core/pipeline.h"

#include <cstddef>

#include "core/l1_char/case.h"
#include "core/l1_char/cjk_compat.h"
#include "core/l1_char/cleanup.h"
#include "core/l1_char/kanji.h"
#include "core/l1_char/prolonged.h"
#include "core/l1_char/quotes.h"
#include "core/l1_char/repeat.h"
#include "core/l1_char/spaces.h"
#include "core/l1_char/spacing.h"
#include "core/l1_char/strip.h"
#include "core/l1_char/symbols.h"
#include "core/l1_char/unicode.h"
#include "core/l1_char/width.h"
#include "core/l2_script/era.h"
#include "core/l2_script/iteration.h"
#include "core/l2_script/kana.h"
#include "core/l2_script/loanword.h"
#include "core/l2_script/numbers.h"
#include "core/l2_script/numerals.h"
#include "core/l4_extra/emoji.h"
#include "core/l4_extra/protect.h"
#include "core/utf8.h"

namespace zenkor {
namespace {

// Katakana words shorter than this keep their final ー (カー, ビール).
constexpr std::size_t MIN_STRIPPED_WORD_LENGTH = 4;

void trim_front(std::string& s) { s.erase(0, s.size() - utf8::trim_white_space_front(s).size()); }

void trim_back(std::string& s) { s.resize(utf8::trim_white_space_back(s).size()); }

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

void Normalizer::run_stages(std::string_view in, std::string& work, std::string& scratch) const {
  const Config& c = config_;
  // The first stage that runs reads `in` itself; after that each stage reads
  // `work` and writes `scratch`, and the buffers swap.  A stage that is off
  // costs one flag test, and capacity is reused throughout.
  std::string_view current = in;
  bool ran = false;
  const auto run = [&](bool on, auto&& stage, auto&&... args) {
    if (!on) return;
    stage(current, scratch, args...);
    std::swap(work, scratch);
    current = work;
    ran = true;
  };

  // The order is fixed and differs from the order of the option keys.
  run(c.normalize_newlines, l1_char::cleanup::normalize_newlines);    // step 1
  run(c.remove_bidi_control, l1_char::cleanup::remove_bidi_control);  // step 2
  run(c.remove_zero_width, l1_char::cleanup::remove_zero_width);      // step 3
  run(c.remove_control, l1_char::cleanup::remove_control);            // step 4
  run(c.remove_variation_selectors, l1_char::kanji::remove_variation_selectors);  // step 5
  run(c.expand_cjk_compat, l1_char::cjk_compat::expand);              // step 6
  run(c.nfkc, l1_char::unicode::nfkc);                                 // step 7
  run(c.kyujitai_to_shinjitai, l1_char::kanji::map_table, l1_char::kanji::KYUJITAI_TABLE);  // step 8
  run(c.unify_itaiji, l1_char::kanji::map_table, l1_char::kanji::ITAIJI_TABLE);             // step 9
  run(c.halfwidth_kana_to_fullwidth, l1_char::width::halfwidth_kana_to_fullwidth);  // step 10
  run(c.expand_iteration_marks, l2_script::iteration::expand_iteration_marks);  // step 11
  run(c.unify_loanword_kana, l2_script::loanword::unify_loanword_kana);  // step 12
  run(c.kana == KanaAction::HiraToKata, l2_script::kana::hira_to_kata);  // step 13
  run(c.kana == KanaAction::KataToHira, l2_script::kana::kata_to_hira);  // step 13
  run(c.unify_quotes, l1_char::quotes::unify);  // step 14
  run(c.unify_hyphens || c.unify_tildes || c.unify_prolonged, l1_char::symbols::unify, c.unify_hyphens,
      c.unify_tildes, c.unify_prolonged);  // step 15
  run(c.collapse_prolonged_run, l1_char::prolonged::collapse);  // step 16
  run(c.strip_trailing_prolonged, l2_script::loanword::strip_trailing_prolonged, MIN_STRIPPED_WORD_LENGTH);  // step 17
  run(c.emoji.kind != EmojiAction::Kind::Keep, l4_extra::emoji::process, c.emoji);  // step 18
  run(c.kansuji_to_arabic, l2_script::numerals::kansuji_to_arabic);  // step 19
  run(c.arabic_to_kansuji, l2_script::numerals::arabic_to_kansuji);  // step 20
  run(c.era_to_western, l2_script::era::era_to_western);  // step 21
  run(c.canonicalize_numbers, l2_script::numbers::canonicalize);  // step 22
  run(c.remove_cjk_compat, l1_char::strip::remove_cjk_compat);  // step 23
  run(c.remove_symbols, l1_char::strip::remove_symbols);  // step 24
  run(c.repeat_limit.has_value(), l1_char::repeat::shorten,
      static_cast<std::size_t>(c.repeat_limit.value_or(1)));  // step 25
  run(c.case_action != CaseAction::Keep, l1_char::case_::convert, c.case_action);  // step 26
  run(c.collapse_spaces, l1_char::spaces::collapse);  // step 27
  run(c.cjk_spacing != CjkSpacing::Keep, l1_char::spacing::process, c.cjk_spacing);  // step 28
  run(synonyms_.has_value(), [this](std::string_view text, std::string& out) { synonyms_->apply(text, out); });  // step 29

  if (!ran) work.assign(in);
}

l3_lexical::synonym::SynonymDict Normalizer::prenormalized(const l3_lexical::synonym::SynonymDict& dict) const {
  const Normalizer plain(config_);
  l3_lexical::synonym::SynonymDict normalized;
  // In insert order, so of variants that become equal the last given wins.
  for (const std::size_t i : dict.insert_order()) {
    const auto& entry = dict.entries()[i];
    normalized.insert(plain.normalize(entry.variant), entry.canonical);
  }
  return normalized;
}

Normalizer Normalizer::with_synonyms(const l3_lexical::synonym::SynonymDict& added) const {
  Normalizer result(config_);
  result.synonyms_.emplace(synonyms_ ? *synonyms_ : l3_lexical::synonym::SynonymDict());
  result.synonyms_->extend(prenormalized(added));
  return result;
}

std::string Normalizer::normalize(std::string_view text) const {
  if (config_.protects_any()) return normalize_with_segments(text).text;
  // One plain piece: its segment list would hold a single string, so the
  // stages' result is trimmed and returned as it is, without joining.
  std::string work;
  std::string scratch;
  run_stages(text, work, scratch);
  if (config_.trim) {
    trim_back(work);
    trim_front(work);
  }
  return work;
}

Normalized Normalizer::normalize_with_segments(std::string_view text) const {
  Normalized result;
  std::string work;
  std::string scratch;

  // Plain text goes through the stages; a piece they empty is dropped.
  const auto add_plain = [&](std::string_view piece) {
    run_stages(piece, work, scratch);
    if (!work.empty()) result.segments.push_back({std::move(work), false});
  };

  const Config& c = config_;
  if (!c.protects_any()) {
    add_plain(text);
  } else {
    using l4_extra::protect::Kind;
    const auto spans =
        l4_extra::protect::scan(text, c.protect_urls, c.protect_emails, c.protect_mentions, c.protect_hashtags);
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
  }

  if (config_.trim) trim(result.segments);

  result.text.reserve(text.size());
  for (const Segment& s : result.segments) result.text += s.text;
  return result;
}

}  // namespace zenkor
