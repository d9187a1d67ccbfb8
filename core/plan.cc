#include "core/plan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

#include "core/l1_char/repeat.h"
#include "core/l2_script/era.h"
#include "core/l2_script/loanword.h"
#include "core/l3_lexical/synonym.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"

namespace zenkor {
namespace {

// Every step the option table names, once, by rank: the order of the
// pipeline.  The steps are found at compile time, so that a table that names
// too many, or two of one rank, fails the build.
constexpr std::size_t count_steps() {
  std::size_t count = 0;
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    bool named_before = false;
    for (std::size_t j = 0; j < i; ++j) named_before = named_before || OPTIONS[j].step == OPTIONS[i].step;
    if (OPTIONS[i].step != NO_STEP && !named_before) ++count;
  }
  return count;
}

constexpr auto STEPS = [] {
  std::array<const Step*, count_steps()> steps{};
  std::size_t count = 0;
  for (const Option& option : OPTIONS) {
    const auto end = steps.begin() + static_cast<std::ptrdiff_t>(count);
    if (option.step != NO_STEP && std::find(steps.begin(), end, option.step) == end) steps[count++] = option.step;
  }
  std::sort(steps.begin(), steps.end(), [](const Step* a, const Step* b) { return a->rank < b->rank; });
  return steps;
}();

static_assert(STEPS.size() + 1 <= 32, "a Plan::Mask has a bit per step and one for the dictionary");
static_assert([] {
  for (std::size_t i = 0; i < STEPS.size(); ++i) {
    const Step& step = *STEPS[i];
    if (i > 0 && STEPS[i - 1]->rank == step.rank) return false;
    if (step.run == nullptr || (step.fusible != FusibleGroup::None) != (step.rewrite_char != nullptr)) return false;
  }
  return true;
}(), "every step has a rank of its own and a run function, and a fusible one a rewrite of its characters");

// For each row of OPTIONS, the index in STEPS of the step it names, or -1.
constexpr auto STEP_OF_OPTION = [] {
  std::array<int, OPTIONS.size()> index{};
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    const auto found = std::find(STEPS.begin(), STEPS.end(), OPTIONS[i].step);
    index[i] = OPTIONS[i].step == NO_STEP ? -1 : static_cast<int>(found - STEPS.begin());
  }
  return index;
}();

constexpr int VARIANTS = 8;  // option values a step's triggers may depend on: the three symbol flags at most

// Whether `c` alone can make `step` (with option value `variant`) change a
// text.  Triggers of two characters, the dictionary's and white space to
// trim are the plan's own.
bool triggers(const Step& step, int variant, char32_t c) noexcept {
  return step.trigger != nullptr && step.trigger(c, variant);
}

// Characters below U+10000 and the blocks of 64 that hold them.
struct BmpTriggers {
  BmpSet set;
  std::vector<std::uint16_t> blocks;
};

// The triggers of a step below U+10000, built at first use and kept for the
// life of the process: each set costs 8 KiB and 65,536 calls of its test.
const BmpTriggers& bmp_triggers(const Step& step, int variant) {
  static std::mutex mutex;
  static std::array<std::unique_ptr<const BmpTriggers>, STEPS.size() * VARIANTS> built;
  const std::lock_guard<std::mutex> lock(mutex);
  const auto id = static_cast<std::size_t>(std::find(STEPS.begin(), STEPS.end(), &step) - STEPS.begin());
  auto& slot = built[id * VARIANTS + static_cast<std::size_t>(variant)];
  if (!slot) {
    auto triggers_of = std::make_unique<BmpTriggers>();
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (triggers(step, variant, c)) triggers_of->set.add(c);
    }
    triggers_of->blocks = triggers_of->set.blocks();
    slot = std::move(triggers_of);
  }
  return *slot;
}

// How many bytes a[0, most) and b[0, most) have in common at their start.
std::size_t common_head(const char* a, const char* b, std::size_t most) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= most; i += 8) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) {
      const std::uint64_t differ = x ^ y;
      return i + static_cast<std::size_t>(std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                                     : std::countl_zero(differ)) / 8;
    }
  }
  while (i < most && a[i] == b[i]) ++i;
  return i;
}

// How many bytes the texts ending at a_end and b_end have in common at their
// end, at most `most`.
std::size_t common_tail(const char* a_end, const char* b_end, std::size_t most) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= most; i += 8) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a_end - i - 8, 8);
    std::memcpy(&y, b_end - i - 8, 8);
    if (x != y) {
      const std::uint64_t differ = x ^ y;
      return i + static_cast<std::size_t>(std::endian::native == std::endian::little ? std::countl_zero(differ)
                                                                                     : std::countr_zero(differ)) / 8;
    }
  }
  while (i < most && a_end[-1 - static_cast<std::ptrdiff_t>(i)] == b_end[-1 - static_cast<std::ptrdiff_t>(i)]) ++i;
  return i;
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
  // The first option that names a step and switches it on names it in explain.
  std::array<std::string_view, STEPS.size()> switched_on_by{};
  for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
    if (STEP_OF_OPTION[i] < 0) continue;
    std::string_view& by = switched_on_by[static_cast<std::size_t>(STEP_OF_OPTION[i])];
    if (by.empty() && OPTIONS[i].switches_on(c)) by = OPTIONS[i].key;
  }
  for (std::size_t i = 0; i < STEPS.size(); ++i) {
    const Step* step = STEPS[i];
    if (!switched_on_by[i].empty()) add(step, switched_on_by[i], step->variant != nullptr ? step->variant(c) : 0);
  }

  if (synonyms != nullptr && !synonyms->empty()) {
    auto bmp = std::make_shared<BmpSet>();
    auto astral = std::make_shared<std::vector<char32_t>>();
    const auto add_first = [&](std::string_view word) {
      std::size_t pos = 0;
      const char32_t first = text::utf8::next(word, pos);
      if (first < 0x10000) {
        bmp->add(first);
      } else {
        astral->push_back(first);
      }
    };
    for (const auto& entry : synonyms->entries()) add_first(entry.variant);
    // A guard changes a text only where it is written otherwise than its
    // canonical form.
    for (const auto& guard : synonyms->guards()) {
      if (guard.text != synonyms->canonical_of(guard)) add_first(guard.text);
    }
    std::sort(astral->begin(), astral->end());
    synonym_bmp_ = std::move(bmp);
    synonym_astral_ = std::move(astral);
    add(nullptr, "custom_dict", 0);
  }

  mark_fusible_runs();
  repeat_limit_ = c.repeat_limit.value_or(UINT64_MAX);
  trim_ = c.trim;
  // A URL to wrap has a ":" in its scheme.
  wrap_urls_ = c.protect_urls && c.url_wrap.has_value();
  if (wrap_urls_) any_.add(U':');
  // Surrogates (never in UTF-8 text) stop the scan of a str that holds one.
  any_.add_range(0xD800, 0xDFFF);
  outside_.add_range(0xD800, 0xDFFF);
  // Every URL has the ":" of "://", an e-mail address or a mention an "@",
  // a hashtag a "#" (core/l4_extra/protect.cc).
  protects_ = c.protects_any() || wrap_urls_;
  if (c.protect_urls) outside_.add(U':');
  if (c.protect_emails || c.protect_mentions) outside_.add(U'@');
  if (c.protect_hashtags) outside_.add(U'#');
  any_.merge(outside_, outside_.blocks());
}

void Plan::add(const Step* step, std::string_view option, int variant) {
  const int index = static_cast<int>(steps_.size());
  steps_.push_back(step);
  options_.push_back(option);
  variants_.push_back(variant);
  const Mask bit = Mask{1} << index;
  all_ |= bit;
  // The dictionary's first characters are most kanji and kana: its step is
  // looked for on its own, so that they do not send every character through
  // the search for the step it triggers.
  if (step == nullptr) {
    synonym_step_ = index;
    bmp_.push_back(synonym_bmp_.get());
    astral_any_ = astral_any_ || !synonym_astral_->empty();
    return;
  }
  switch (step->context) {
    case StepContext::None: break;
    case StepContext::RepeatRun: repeat_step_ = index; break;
    case StepContext::ProlongedRun: prolonged_step_ = index; break;
    // A space is a trigger of collapse_spaces after another space.
    case StepContext::SpaceRun:
      spaces_step_ = index;
      for (const char32_t space : {U' ', U'\t', char32_t{0x3000}}) any_.add(space);
      break;
    case StepContext::TrailingProlonged: choon_step_ = index; break;
    case StepContext::LoanwordPair: loanword_step_ = index; break;
    case StepContext::EraYear: era_step_ = index; break;
  }
  // Deleting characters can bring two together; it cannot make an era's
  // name come before a 年.
  if (step->context != StepContext::None && step->context != StepContext::EraYear) context_ |= bit;
  const bool second = step->context == StepContext::TrailingProlonged || step->context == StepContext::LoanwordPair ||
                      step->context == StepContext::EraYear;
  if (second) {
    seconds_ = true;
    any_.merge(second_characters().set, second_characters().blocks);
  }
  if (((step->deletes_in >> variant) & 1) != 0) deleting_ |= bit;
  const BmpTriggers& triggers_of = bmp_triggers(*step, variant);
  bmp_.push_back(&triggers_of.set);
  any_.merge(triggers_of.set, triggers_of.blocks);
  for (const std::uint16_t block : triggers_of.blocks) block_steps_[block] |= bit;
  astral_any_ = astral_any_ || step->astral_triggers;
}

void Plan::mark_fusible_runs() {
  const auto group = [&](std::size_t i) { return steps_[i] != nullptr ? steps_[i]->fusible : FusibleGroup::None; };
  fusible_until_.assign(steps_.size(), 0);
  for (std::size_t i = steps_.size(); i-- > 0;) {
    const FusibleGroup g = group(i);
    const bool joins_next = g != FusibleGroup::None && i + 1 < steps_.size() && group(i + 1) == g;
    fusible_until_[i] = joins_next ? fusible_until_[i + 1] : i + 1;
  }
}

bool Plan::astral_trigger(std::size_t i, char32_t c) const noexcept {
  if (steps_[i] == nullptr) return std::binary_search(synonym_astral_->begin(), synonym_astral_->end(), c);
  return triggers(*steps_[i], variants_[i], c);
}

namespace {

constexpr char32_t NO_CHAR = 0xFFFFFFFF;

// The characters of a text one by one, from UTF-8 or from code units;
// peek() is the next one, or NO_CHAR at the end.
class Utf8Source {
 public:
  static constexpr bool MAY_HOLD_SURROGATES = false;
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
  static constexpr bool MAY_HOLD_SURROGATES = sizeof(Unit) > 1;
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
Plan::Found Plan::scan_source(Source source, bool era_before, bool* era_in_text) const noexcept {
  Found result;
  Mask remaining = all_;  // steps whose triggers are not found yet
  const Mask synonyms = synonym_step_ >= 0 ? Mask{1} << synonym_step_ : 0;
  const BmpSet& seconds = second_characters().set;
  const BmpSet& starts = era_starts();
  const bool follows_context = repeat_step_ >= 0 || prolonged_step_ >= 0 || spaces_step_ >= 0 || seconds_;
  const auto bit = [](int step) { return step >= 0 ? Mask{1} << step : Mask{0}; };
  // Whether a step of two-character triggers is on and not found yet.
  const auto pending = [&](int step) { return (bit(step) & ~result.steps) != 0; };
  // The steps a character of any_ triggers alone, and what else it may be.
  const auto look_at = [&](char32_t c) {
    const Mask candidates = c < 0x10000 ? remaining & block_steps_[c >> 6] & ~synonyms : remaining;
    for (Mask m = candidates; m != 0; m &= m - 1) {
      const auto i = static_cast<std::size_t>(std::countr_zero(m));
      if (triggered_by(i, c)) remaining &= ~(Mask{1} << i);
    }
    if (is_surrogate(c) || (wrap_urls_ && c == U':')) result.other = true;
    if (c < 0x10000 && outside_.contains(c)) result.outside = true;
  };
  // Whether the rest of the text can add nothing to the result.  A str of
  // two or four bytes a character is read to its end, for a lone surrogate
  // the path over code units must not take.
  const auto complete = [&] {
    return !Source::MAY_HOLD_SURROGATES && remaining == 0 && (result.other || !wrap_urls_) &&
           (result.outside || !protects_);
  };
  if (!follows_context && synonyms == 0) {
    // No step looks at neighbours: a character outside any_ costs one test.
    while (source.more()) {
      const char32_t c = source.next();
      if (!(c < 0x10000 ? any_.contains(c) : astral_any_)) continue;
      look_at(c);
      if (complete()) break;
    }
    result.steps |= all_ & ~remaining;
    return result;
  }
  char32_t prev = NO_CHAR;
  std::uint64_t run = 1;  // how often prev occurs in a row
  bool era_seen = false;  // whether an era's name starts in the text so far
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
      look_at(c);
      if (is_collapsible_space(c) && is_collapsible_space(prev)) result.steps |= bit(spaces_step_);
      if (seconds_ && c < 0x10000 && seconds.contains(c)) {
        if (pending(loanword_step_) && l2_script::loanword::unify_loanword_kana_pair_trigger(prev, c)) {
          result.steps |= bit(loanword_step_);
        }
        // A ー ends a word when no katakana follows it.
        if (c == CHOON && pending(choon_step_) && !l2_script::loanword::is_katakana_word_char(source.peek())) {
          result.steps |= bit(choon_step_);
        }
        if (c == NEN && (era_before || era_seen)) result.steps |= bit(era_step_);
        era_seen = era_seen || starts.contains(c);
      }
      // Every trigger found: the rest of the text cannot add to the result.
      // Tested here, where a trigger was just met, so that the loop over
      // characters without one keeps its shape.
      if (!follows_context && complete()) break;
    }
    prev = c;
  }
  result.steps |= all_ & ~remaining;
  if (era_in_text != nullptr) *era_in_text = era_seen;
  return result;
}

Plan::Mask Plan::scan(std::string_view text) const noexcept { return scan_source(Utf8Source(text)).steps; }

Plan::Mask Plan::rescan(std::string_view before, std::string_view after, Mask sought) const noexcept {
  // The bytes the step left as they were, at the start and at the end.
  const std::size_t shorter = std::min(before.size(), after.size());
  const std::size_t head = common_head(before.data(), after.data(), shorter);
  const std::size_t tail = common_tail(before.data() + before.size(), after.data() + after.size(), shorter - head);
  // The changed characters, then the character before them and the whole
  // run it ends, the character after them and the whole run it starts, and
  // one more, which the last may be followed by (a ー ends a word or not).
  std::size_t from = head;
  while (from > 0 && text::utf8::is_continuation(static_cast<unsigned char>(after[from]))) --from;
  std::size_t to = text::utf8::boundary_at_or_after(after, after.size() - tail);
  if (from > 0) {
    std::size_t at = from;
    const char32_t c = text::utf8::prev(after, at);
    for (from = at; at > 0 && text::utf8::prev(after, at) == c;) from = at;
  }
  if (to < after.size()) {
    std::size_t at = to;
    const char32_t c = text::utf8::next(after, at);
    for (to = at; at < after.size() && text::utf8::next(after, at) == c;) to = at;
    if (to < after.size()) (void)text::utf8::next(after, to);
  }
  bool era_read = false;
  Mask found = scan_source(Utf8Source(after.substr(from, to - from)), from > 0, &era_read).steps & sought;
  // An era's name read, and a 年 past what was read.
  const Mask era = era_step_ >= 0 ? Mask{1} << era_step_ : 0;
  if ((sought & era & ~found) != 0 && era_read && after.find("年", to) != std::string_view::npos) found |= era;
  return found;
}

Plan::Mask Plan::rescan(CodeUnits after, std::size_t from, std::size_t to, Mask sought) const noexcept {
  // As in the rescan of UTF-8: the run before and the run after the changed
  // characters, and one more.
  if (from > 0) {
    const char32_t c = after.at(--from);
    while (from > 0 && after.at(from - 1) == c) --from;
  }
  if (to < after.length) {
    const char32_t c = after.at(to++);
    while (to < after.length && after.at(to) == c) ++to;
    if (to < after.length) ++to;
  }
  // Unlike UTF-8, code units are cheap to read back: whether an era's name
  // starts before what is read is looked up, not assumed.
  const Mask era = era_step_ >= 0 ? Mask{1} << era_step_ : 0;
  bool era_before = false;
  if ((sought & era) != 0) {
    bool nen = false;  // what is read holds a 年, which the era's name would make a trigger
    for (std::size_t k = from; k < to && !nen; ++k) nen = after.at(k) == NEN;
    const BmpSet& starts = era_starts();
    for (std::size_t k = 0; nen && k < from && !era_before; ++k) {
      era_before = after.at(k) < 0x10000 && starts.contains(after.at(k));
    }
  }
  const void* start = static_cast<const char*>(after.data) + from * after.width;
  bool era_read = false;
  Mask found = 0;
  switch (after.width) {
    case 1: found = scan_source(UnitSource<std::uint8_t>(start, to - from), era_before, &era_read).steps; break;
    case 2: found = scan_source(UnitSource<std::uint16_t>(start, to - from), era_before, &era_read).steps; break;
    default: found = scan_source(UnitSource<std::uint32_t>(start, to - from), era_before, &era_read).steps; break;
  }
  found &= sought;
  if ((sought & era & ~found) != 0 && era_read) {
    for (std::size_t k = to; k < after.length; ++k) {
      if (after.at(k) == NEN) return found | era;
    }
  }
  return found;
}

// Aligned to a cache line, so that its loops lie the same way whatever code
// comes before it in the library (their alignment moved the time of clean
// texts by 5 to 8% from build to build).
[[gnu::aligned(64)]] Plan::Found Plan::scan(CodeUnits text) const noexcept {
  if (text.length == 0) return {};
  Found found;
  switch (text.width) {
    case 1: found = scan_source(UnitSource<std::uint8_t>(text.data, text.length)); break;
    case 2: found = scan_source(UnitSource<std::uint16_t>(text.data, text.length)); break;
    default: found = scan_source(UnitSource<std::uint32_t>(text.data, text.length)); break;
  }
  if (trim_ && (text::is_white_space(text.at(0)) || text::is_white_space(text.at(text.length - 1)))) {
    found.other = true;
  }
  return found;
}

}  // namespace zenkor
