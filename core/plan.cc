#include "core/plan.h"

#include <algorithm>
#include <bit>
#include <mutex>

#include "core/l1_char/case.h"
#include "core/l1_char/cjk_compat.h"
#include "core/l1_char/cjk_spacing.h"
#include "core/l1_char/cleanup.h"
#include "core/l1_char/kanji.h"
#include "core/l1_char/nfkc.h"
#include "core/l1_char/quotes.h"
#include "core/l1_char/removal.h"
#include "core/l1_char/repeat.h"
#include "core/l1_char/space_runs.h"
#include "core/l1_char/symbols.h"
#include "core/l1_char/width.h"
#include "core/l2_script/ascii_numbers.h"
#include "core/l2_script/era.h"
#include "core/l2_script/iteration.h"
#include "core/l2_script/kana.h"
#include "core/l2_script/kansuji.h"
#include "core/l2_script/loanword.h"
#include "core/l3_lexical/synonym.h"
#include "core/l4_extra/emoji.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"

namespace zenkor {
namespace {

constexpr std::size_t STEP_COUNT = static_cast<std::size_t>(StepId::Synonyms) + 1;
constexpr int VARIANTS = 8;  // option values a step's triggers may depend on: the three symbol flags at most
static_assert(STEP_COUNT <= 32, "a Plan::Mask has a bit per step");

// Whether `c` alone can make step `id` (with option value `variant`) change
// a text.  Triggers of two characters, the dictionary's and white space to
// trim are the plan's own.
bool triggers(StepId id, int variant, char32_t c) noexcept {
  using namespace l1_char;
  using namespace l2_script;
  switch (id) {
    case StepId::NormalizeNewlines: return cleanup::normalize_newlines_trigger(c);
    case StepId::RemoveBidiControl: return cleanup::remove_bidi_control_trigger(c);
    case StepId::RemoveZeroWidth: return cleanup::remove_zero_width_trigger(c);
    case StepId::RemoveControl: return cleanup::remove_control_trigger(c);
    case StepId::RemoveVariationSelectors: return kanji::remove_variation_selectors_trigger(c);
    case StepId::ExpandCjkCompat: return cjk_compat::expand_trigger(c);
    case StepId::Nfkc: return nfkc::normalize_trigger(c);
    case StepId::KyujitaiToShinjitai: return kanji::map_table_trigger(kanji::KYUJITAI_TABLE, c);
    case StepId::UnifyItaiji: return kanji::map_table_trigger(kanji::ITAIJI_TABLE, c);
    case StepId::HalfwidthKanaToFullwidth: return width::halfwidth_kana_to_fullwidth_trigger(c);
    case StepId::ExpandIterationMarks: return iteration::expand_iteration_marks_trigger(c);
    case StepId::UnifyLoanwordKana: return loanword::unify_loanword_kana_trigger(c);
    case StepId::HiraToKata: return kana::hira_to_kata_trigger(c);
    case StepId::KataToHira: return kana::kata_to_hira_trigger(c);
    case StepId::UnifyQuotes: return quotes::unify_trigger(c);
    case StepId::UnifySymbols:
      return symbols::unify_trigger(c, (variant & 1) != 0, (variant & 2) != 0, (variant & 4) != 0);
    case StepId::Emoji: return l4_extra::emoji::process_trigger(c);
    case StepId::KansujiToArabic: return kansuji::kansuji_to_arabic_trigger(c);
    case StepId::ArabicToKansuji: return kansuji::arabic_to_kansuji_trigger(c);
    case StepId::CanonicalizeNumbers: return ascii_numbers::canonicalize_trigger(c);
    case StepId::RemoveCjkCompat: return removal::remove_cjk_compat_trigger(c);
    case StepId::RemoveSymbols: return removal::remove_symbols_trigger(c);
    case StepId::Case: return case_::convert_trigger(c, static_cast<CaseAction>(variant));
    case StepId::CollapseSpaces: return space_runs::collapse_trigger(c);
    case StepId::CjkSpacing: return cjk_spacing::process_trigger(c, static_cast<CjkSpacing>(variant));
    case StepId::StripTrailingProlonged:
    case StepId::EraToWestern:
    case StepId::CollapseProlongedRun:
    case StepId::RepeatLimit:
    case StepId::Synonyms:
      return false;
  }
  return false;
}

// Characters below U+10000 and the blocks of 64 that hold them.
struct BmpTriggers {
  BmpSet set;
  std::vector<std::uint16_t> blocks;
};

// The triggers of a step below U+10000, built at first use and kept for the
// life of the process: each set costs 8 KiB and 65,536 calls of its test.
const BmpTriggers& bmp_triggers(StepId id, int variant) {
  static std::mutex mutex;
  static std::array<std::unique_ptr<const BmpTriggers>, STEP_COUNT * VARIANTS> built;
  const std::lock_guard<std::mutex> lock(mutex);
  auto& slot = built[static_cast<std::size_t>(id) * VARIANTS + static_cast<std::size_t>(variant)];
  if (!slot) {
    auto triggers_of = std::make_unique<BmpTriggers>();
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (triggers(id, variant, c)) triggers_of->set.add(c);
    }
    triggers_of->blocks = triggers_of->set.blocks();
    slot = std::move(triggers_of);
  }
  return *slot;
}

[[nodiscard]] constexpr bool is_surrogate(char32_t c) noexcept { return c >= 0xD800 && c <= 0xDFFF; }

[[nodiscard]] constexpr bool is_collapsible_space(char32_t c) noexcept {
  return c == U' ' || c == U'\t' || c == 0x3000;
}

constexpr char32_t CHOON = U'ー';
constexpr char32_t NEN = U'年';

// The first characters of the eras' names and their letters.
const BmpSet& era_starts() {
  static const BmpSet set = [] {
    BmpSet s;
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (l2_script::era::starts_era(c)) s.add(c);
    }
    return s;
  }();
  return set;
}

// The characters that, after the right one, trigger a step: the second kana
// of a loanword pair, the ー that may end a word, 年 and what starts an era.
const BmpTriggers& second_characters() {
  static const BmpTriggers seconds = [] {
    BmpTriggers t;
    for (char32_t second = 0x30A0; second <= 0x30FF; ++second) {
      for (char32_t first = 0x30A0; first <= 0x30FF; ++first) {
        if (l2_script::loanword::unify_loanword_kana_pair_trigger(first, second)) t.set.add(second);
      }
    }
    t.set.add(CHOON);
    t.set.add(NEN);
    t.set.merge(era_starts());
    t.blocks = t.set.blocks();
    return t;
  }();
  return seconds;
}

}  // namespace

Plan::Plan(const Config& c, const l3_lexical::synonym::SynonymDict* synonyms) {
  // The order is fixed and differs from the order of the option keys.
  add(c.normalize_newlines, StepId::NormalizeNewlines);
  add(c.remove_bidi_control, StepId::RemoveBidiControl);
  add(c.remove_zero_width, StepId::RemoveZeroWidth);
  add(c.remove_control, StepId::RemoveControl);
  add(c.remove_variation_selectors, StepId::RemoveVariationSelectors);
  add(c.expand_cjk_compat, StepId::ExpandCjkCompat);
  add(c.nfkc, StepId::Nfkc);
  add(c.kyujitai_to_shinjitai, StepId::KyujitaiToShinjitai);
  add(c.unify_itaiji, StepId::UnifyItaiji);
  add(c.halfwidth_kana_to_fullwidth, StepId::HalfwidthKanaToFullwidth);
  add(c.expand_iteration_marks, StepId::ExpandIterationMarks);
  add(c.unify_loanword_kana, StepId::UnifyLoanwordKana);
  add(c.kana == KanaAction::HiraToKata, StepId::HiraToKata);
  add(c.kana == KanaAction::KataToHira, StepId::KataToHira);
  add(c.unify_quotes, StepId::UnifyQuotes);
  add(c.unify_hyphens || c.unify_tildes || c.unify_prolonged, StepId::UnifySymbols,
      (c.unify_hyphens ? 1 : 0) | (c.unify_tildes ? 2 : 0) | (c.unify_prolonged ? 4 : 0));
  add(c.collapse_prolonged_run, StepId::CollapseProlongedRun);
  add(c.strip_trailing_prolonged, StepId::StripTrailingProlonged);
  add(c.emoji.kind != EmojiAction::Kind::Keep, StepId::Emoji, static_cast<int>(c.emoji.kind));
  add(c.kansuji_to_arabic, StepId::KansujiToArabic);
  add(c.arabic_to_kansuji, StepId::ArabicToKansuji);
  add(c.era_to_western, StepId::EraToWestern);
  add(c.canonicalize_numbers, StepId::CanonicalizeNumbers);
  add(c.remove_cjk_compat, StepId::RemoveCjkCompat);
  add(c.remove_symbols, StepId::RemoveSymbols);
  add(c.repeat_limit.has_value(), StepId::RepeatLimit);
  add(c.case_action != CaseAction::Keep, StepId::Case, static_cast<int>(c.case_action));
  add(c.collapse_spaces, StepId::CollapseSpaces);
  add(c.cjk_spacing != CjkSpacing::Keep, StepId::CjkSpacing, static_cast<int>(c.cjk_spacing));

  if (synonyms != nullptr && !synonyms->empty()) {
    auto bmp = std::make_shared<BmpSet>();
    auto astral = std::make_shared<std::vector<char32_t>>();
    for (const auto& entry : synonyms->entries()) {
      std::size_t pos = 0;
      const char32_t first = text::utf8::next(entry.variant, pos);
      if (first < 0x10000) {
        bmp->add(first);
      } else {
        astral->push_back(first);
      }
    }
    std::sort(astral->begin(), astral->end());
    synonym_bmp_ = std::move(bmp);
    synonym_astral_ = std::move(astral);
    add(true, StepId::Synonyms);
  }

  mark_fusible_runs();
  repeat_limit_ = c.repeat_limit.value_or(UINT64_MAX);
  trim_ = c.trim;
  // A URL to wrap has a ":" in its scheme.
  wrap_urls_ = c.protect_urls && c.url_wrap.has_value();
  if (wrap_urls_) any_.add(U':');
  // Surrogates (never in UTF-8 text) stop the scan of a str that holds one.
  any_.add_range(0xD800, 0xDFFF);
}

void Plan::add(bool on, StepId id, int variant) {
  if (!on) return;
  const int index = static_cast<int>(steps_.size());
  steps_.push_back(id);
  variants_.push_back(variant);
  const Mask bit = Mask{1} << index;
  all_ |= bit;
  // A space is a trigger of collapse_spaces after another space.
  if (id == StepId::CollapseSpaces) {
    for (const char32_t space : {U' ', U'\t', char32_t{0x3000}}) any_.add(space);
  }
  switch (id) {
    case StepId::RepeatLimit: repeat_step_ = index; break;
    case StepId::CollapseProlongedRun: prolonged_step_ = index; break;
    case StepId::CollapseSpaces: spaces_step_ = index; break;
    case StepId::StripTrailingProlonged: choon_step_ = index; break;
    case StepId::UnifyLoanwordKana: loanword_step_ = index; break;
    case StepId::EraToWestern: era_step_ = index; break;
    default: break;
  }
  // Deleting characters can bring two together; it cannot make an era's
  // name come before a 年.
  if (id == StepId::RepeatLimit || id == StepId::CollapseProlongedRun || id == StepId::CollapseSpaces ||
      id == StepId::StripTrailingProlonged || id == StepId::UnifyLoanwordKana) {
    context_ |= bit;
  }
  if (id == StepId::StripTrailingProlonged || id == StepId::UnifyLoanwordKana || id == StepId::EraToWestern) {
    seconds_ = true;
    any_.merge(second_characters().set, second_characters().blocks);
  }
  switch (id) {
    case StepId::RemoveBidiControl:
    case StepId::RemoveZeroWidth:
    case StepId::RemoveControl:
    case StepId::RemoveVariationSelectors:
    case StepId::CollapseProlongedRun:
    case StepId::StripTrailingProlonged:
    case StepId::RemoveCjkCompat:
    case StepId::RepeatLimit:
      deleting_ |= bit;
      break;
    case StepId::Emoji:
      if (variant == static_cast<int>(EmojiAction::Kind::Remove)) deleting_ |= bit;
      break;
    default:
      break;
  }
  // The dictionary's first characters are most kanji and kana: its step is
  // looked for on its own, so that they do not send every character through
  // the search for the step it triggers.
  if (id == StepId::Synonyms) {
    synonym_step_ = index;
    bmp_.push_back(synonym_bmp_.get());
  } else {
    const BmpTriggers& triggers_of = bmp_triggers(id, variant);
    bmp_.push_back(&triggers_of.set);
    any_.merge(triggers_of.set, triggers_of.blocks);
    for (const std::uint16_t block : triggers_of.blocks) block_steps_[block] |= bit;
  }
  // Every step but these may be triggered past U+FFFF: cased letters,
  // emoji, variation selectors, NFKC's letters, a variant kanji, dictionary words.
  switch (id) {
    case StepId::Case:
    case StepId::Emoji:
    case StepId::RemoveVariationSelectors:
    case StepId::Nfkc:
    case StepId::UnifyItaiji:
      astral_any_ = true;
      break;
    case StepId::Synonyms:
      astral_any_ = astral_any_ || !synonym_astral_->empty();
      break;
    default:
      break;
  }
}

void Plan::mark_fusible_runs() {
  // Groups of steps whose character sets are disjoint and whose output no
  // later step of the group changes; a step of one group is never next to
  // one of the other.
  const auto group = [](StepId id) {
    switch (id) {
      case StepId::RemoveBidiControl:
      case StepId::RemoveZeroWidth:
      case StepId::RemoveControl:
      case StepId::RemoveVariationSelectors:
      case StepId::ExpandCjkCompat:
        return 1;
      case StepId::KyujitaiToShinjitai:
      case StepId::UnifyItaiji:
        return 2;
      default:
        return 0;
    }
  };
  fusible_until_.assign(steps_.size(), 0);
  for (std::size_t i = steps_.size(); i-- > 0;) {
    const int g = group(steps_[i]);
    const bool joins_next = g != 0 && i + 1 < steps_.size() && group(steps_[i + 1]) == g;
    fusible_until_[i] = joins_next ? fusible_until_[i + 1] : i + 1;
  }
}

bool Plan::astral_trigger(std::size_t i, char32_t c) const noexcept {
  if (steps_[i] == StepId::Synonyms) return std::binary_search(synonym_astral_->begin(), synonym_astral_->end(), c);
  return triggers(steps_[i], variants_[i], c);
}

namespace {

constexpr char32_t NO_CHAR = 0xFFFFFFFF;

// The characters of a text one by one, from UTF-8 or from code units;
// peek() is the next one, or NO_CHAR at the end.
class Utf8Source {
 public:
  explicit Utf8Source(std::string_view text) : text_(text) {}
  [[nodiscard]] bool more() const noexcept { return pos_ < text_.size(); }
  char32_t next() noexcept { return text::utf8::next(text_, pos_); }
  [[nodiscard]] char32_t peek() const noexcept {
    std::size_t at = pos_;
    return at < text_.size() ? text::utf8::next(text_, at) : NO_CHAR;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

template <typename Unit>
class UnitSource {
 public:
  UnitSource(const void* data, std::size_t length) : units_(static_cast<const Unit*>(data)), length_(length) {}
  [[nodiscard]] bool more() const noexcept { return pos_ < length_; }
  char32_t next() noexcept { return units_[pos_++]; }
  [[nodiscard]] char32_t peek() const noexcept { return pos_ < length_ ? units_[pos_] : NO_CHAR; }

 private:
  const Unit* units_;
  std::size_t length_;
  std::size_t pos_ = 0;
};

}  // namespace

// The loop is written for the common character, which triggers nothing:
// one comparison with the character before (for runs) and one bit test.
// Everything else, the triggers of two characters included, is looked at
// only for the characters of any_.
template <typename Source>
Plan::Found Plan::scan_source(Source source) const noexcept {
  Found result;
  Mask remaining = all_;  // steps whose triggers are not found yet
  const Mask synonyms = synonym_step_ >= 0 ? Mask{1} << synonym_step_ : 0;
  const BmpSet& seconds = second_characters().set;
  const BmpSet& starts = era_starts();
  const bool follows_context = repeat_step_ >= 0 || prolonged_step_ >= 0 || spaces_step_ >= 0 || seconds_;
  const auto bit = [](int step) { return step >= 0 ? Mask{1} << step : Mask{0}; };
  // Whether a step of two-character triggers is on and not found yet.
  const auto pending = [&](int step) { return (bit(step) & ~result.steps) != 0; };
  char32_t prev = NO_CHAR;
  std::uint64_t run = 1;  // how often prev occurs in a row
  bool era_started = false;
  while (source.more()) {
    const char32_t c = source.next();
    if (c == prev) {
      ++run;
      if (run > repeat_limit_ && l1_char::repeat::shortens_runs_of(c)) result.steps |= bit(repeat_step_);
      if (c == 0x30FC || c == 0x301C) result.steps |= bit(prolonged_step_);
    } else {
      run = 1;
    }
    if ((remaining & synonyms) != 0 && c < 0x10000 && synonym_bmp_->contains(c)) remaining &= ~synonyms;
    if (c < 0x10000 ? any_.contains(c) : astral_any_) {
      const Mask candidates = c < 0x10000 ? remaining & block_steps_[c >> 6] & ~synonyms : remaining;
      for (Mask m = candidates; m != 0; m &= m - 1) {
        const auto i = static_cast<std::size_t>(std::countr_zero(m));
        if (triggered_by(i, c)) remaining &= ~(Mask{1} << i);
      }
      if (is_surrogate(c) || (wrap_urls_ && c == U':')) result.other = true;
      if (is_collapsible_space(c) && is_collapsible_space(prev)) result.steps |= bit(spaces_step_);
      if (seconds_ && c < 0x10000 && seconds.contains(c)) {
        if (pending(loanword_step_) && l2_script::loanword::unify_loanword_kana_pair_trigger(prev, c)) {
          result.steps |= bit(loanword_step_);
        }
        // A ー ends a word when no katakana follows it.
        if (c == CHOON && pending(choon_step_) && !l2_script::loanword::is_katakana_word_char(source.peek())) {
          result.steps |= bit(choon_step_);
        }
        if (c == NEN && era_started) result.steps |= bit(era_step_);
        era_started = era_started || starts.contains(c);
      }
      // Every trigger found: the rest of the text cannot add to the result.
      // Tested here, where a trigger was just met, so that the loop over
      // characters without one keeps its shape.
      if (remaining == 0 && !follows_context && (result.other || !wrap_urls_)) break;
    }
    prev = c;
  }
  result.steps |= all_ & ~remaining;
  return result;
}

Plan::Mask Plan::scan(std::string_view text) const noexcept { return scan_source(Utf8Source(text)).steps; }

Plan::Found Plan::scan(CodeUnits text) const noexcept {
  if (text.length == 0) return {};
  Found found;
  switch (text.width) {
    case 1: found = scan_source(UnitSource<std::uint8_t>(text.data, text.length)); break;
    case 2: found = scan_source(UnitSource<std::uint16_t>(text.data, text.length)); break;
    default: found = scan_source(UnitSource<std::uint32_t>(text.data, text.length)); break;
  }
  const auto unit = [&](std::size_t k) -> char32_t {
    switch (text.width) {
      case 1: return static_cast<const std::uint8_t*>(text.data)[k];
      case 2: return static_cast<const std::uint16_t*>(text.data)[k];
      default: return static_cast<const std::uint32_t*>(text.data)[k];
    }
  };
  if (trim_ && (text::is_white_space(unit(0)) || text::is_white_space(unit(text.length - 1)))) found.other = true;
  return found;
}

}  // namespace zenkor
