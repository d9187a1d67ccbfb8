#include "core/native_runs.h"

#include <algorithm>

#include "core/l1_char/repeat.h"
#include "core/l2_script/iteration.h"
#include "core/l2_script/loanword.h"
#include "core/text/chars.h"

namespace zenkor {
namespace {

// Copies what `keep` keeps of each character, as `rewrite` writes it.
// `keep(i)` and `rewrite(i)` see the input, as the stages do.
template <typename Unit, typename Keep, typename Rewrite>
Pass rewrite_each(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes, Keep keep,
                  Rewrite rewrite) {
  out.resize(length);
  std::uint32_t* const written = out.data();  // read once: the stores below may not reload it
  std::size_t pos = 0;
  bool changed = false;
  for (std::size_t i = 0; i < length; ++i) {
    if (!keep(i)) {
      changed = true;
      changes.mark(pos, pos);
      continue;
    }
    const std::uint32_t c = rewrite(i);
    if (c != in[i]) {
      changed = true;
      changes.mark(pos, pos + 1);
    }
    written[pos++] = c;
  }
  out.resize(pos);
  return changed ? Pass::changed : Pass::unchanged;
}

constexpr bool is_collapsible_space(std::uint32_t c) noexcept { return c == U' ' || c == U'\t' || c == 0x3000; }

constexpr bool is_collapsible_mark(std::uint32_t c) noexcept {
  return c == text::PROLONGED_SOUND_MARK || c == text::WAVE_DASH;
}

// l1_char::space_runs::collapse: a space after a space goes, a TAB or
// U+3000 becomes a space.
template <typename Unit>
Pass collapse_spaces(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes) {
  return rewrite_each(
      in, length, out, changes, [&](std::size_t i) { return !(i > 0 && is_collapsible_space(in[i]) && is_collapsible_space(in[i - 1])); },
      [&](std::size_t i) { return is_collapsible_space(in[i]) ? std::uint32_t{U' '} : std::uint32_t{in[i]}; });
}

// l1_char::prolonged::collapse: a ー or 〜 after the same goes.
template <typename Unit>
Pass collapse_prolonged(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes) {
  return rewrite_each(
      in, length, out, changes, [&](std::size_t i) { return !(i > 0 && in[i] == in[i - 1] && is_collapsible_mark(in[i])); },
      [&](std::size_t i) { return std::uint32_t{in[i]}; });
}

// l2_script::loanword::strip_trailing_prolonged: a ー that ends a katakana
// word of MIN_STRIPPED_WORD_LENGTH characters or more (the ー counted) goes.
template <typename Unit>
Pass strip_trailing_prolonged(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes) {
  using l2_script::loanword::is_katakana_word_char;
  const std::size_t shortest = std::max<std::size_t>(2, l2_script::loanword::MIN_STRIPPED_WORD_LENGTH);
  const auto ends_word = [&](std::size_t i) {
    if (in[i] != text::PROLONGED_SOUND_MARK || (i + 1 < length && is_katakana_word_char(in[i + 1]))) return false;
    std::size_t word = 1;
    for (std::size_t k = i; word < shortest && k > 0 && is_katakana_word_char(in[k - 1]); --k) ++word;
    return word >= shortest;
  };
  return rewrite_each(
      in, length, out, changes, [&](std::size_t i) { return !ends_word(i); }, [&](std::size_t i) { return std::uint32_t{in[i]}; });
}

// l1_char::repeat::shorten: of a run of one character whose runs are
// shortened, the characters past `limit` go.
template <typename Unit>
Pass shorten_repeats(const Unit* in, std::size_t length, std::size_t limit, std::vector<std::uint32_t>& out,
                     Changes& changes) {
  std::uint32_t prev = 0;  // the character of the current run
  bool in_run = false;
  std::size_t count = 0;
  const auto keep = [&](std::size_t i) {
    const std::uint32_t c = in[i];
    if (!l1_char::repeat::shortens_runs_of(c)) {
      in_run = false;
    } else if (in_run && c == prev) {
      return ++count <= limit;
    } else {
      prev = c;
      in_run = true;
      count = 1;
    }
    return true;
  };
  return rewrite_each(in, length, out, changes, keep, [&](std::size_t i) { return std::uint32_t{in[i]}; });
}

// l2_script::loanword::unify_loanword_kana: a pair such as ヴァ, or a kana
// such as ヂ alone, to its plain spelling.
template <typename Unit>
Pass unify_loanword_kana(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes) {
  out.resize(length);  // no rule writes more characters than it reads
  std::uint32_t* const written = out.data();
  std::size_t pos = 0;
  bool changed = false;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t c = in[i];
    // Every rule starts with a katakana of U+30A6..U+30F4.
    const l2_script::loanword::Folded folded =
        c >= 0x30A6 && c <= 0x30F4 ? l2_script::loanword::fold(c, i + 1 < length ? in[i + 1] : 0)
                                   : l2_script::loanword::Folded{};
    if (folded.chars.empty()) {
      written[pos++] = c;
      continue;
    }
    changed = true;
    changes.mark(pos, pos + folded.chars.size());
    for (const char32_t r : folded.chars) written[pos++] = r;
    if (folded.with_next) ++i;
  }
  out.resize(pos);
  return changed ? Pass::changed : Pass::unchanged;
}

// l2_script::iteration::expand_iteration_marks: a mark to the character it
// repeats; a chain of marks repeats what the first was written as.
template <typename Unit>
Pass expand_iteration_marks(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out, Changes& changes) {
  std::size_t mark_end = 0;   // one past the last mark
  char32_t mark_written = 0;  // what it was written as; U+0000 at the start
  const auto rewrite = [&](std::size_t i) {
    const char32_t c = in[i];
    if (!l2_script::iteration::expand_iteration_marks_trigger(c)) return std::uint32_t{c};
    const char32_t prev = i == mark_end ? mark_written : in[i - 1];
    mark_written = l2_script::iteration::expand_mark(prev, c, i + 1 < length ? in[i + 1] : 0);
    mark_end = i + 1;
    return std::uint32_t{mark_written};
  };
  return rewrite_each(in, length, out, changes, [](std::size_t) { return true; }, rewrite);
}

}  // namespace

NativeRun native_run_of(const Step& step) noexcept {
  if (&step == &l2_script::iteration::EXPAND_ITERATION_MARKS_STEP) return NativeRun::iteration;
  switch (step.context) {
    case StepContext::SpaceRun: return NativeRun::spaces;
    case StepContext::ProlongedRun: return NativeRun::prolonged;
    case StepContext::TrailingProlonged: return NativeRun::trailing_prolonged;
    case StepContext::RepeatRun: return NativeRun::repeats;
    case StepContext::LoanwordPair: return NativeRun::loanword;
    default: return NativeRun::none;
  }
}

template <typename Unit>
Pass apply_native_run(NativeRun run, std::size_t limit, const Unit* in, std::size_t length,
                      std::vector<std::uint32_t>& out, Changes& changes) {
  switch (run) {
    case NativeRun::spaces: return collapse_spaces(in, length, out, changes);
    case NativeRun::prolonged: return collapse_prolonged(in, length, out, changes);
    case NativeRun::trailing_prolonged: return strip_trailing_prolonged(in, length, out, changes);
    case NativeRun::repeats: return shorten_repeats(in, length, limit, out, changes);
    case NativeRun::loanword: return unify_loanword_kana(in, length, out, changes);
    case NativeRun::iteration: return expand_iteration_marks(in, length, out, changes);
    case NativeRun::none: break;
  }
  return Pass::not_native;
}

template Pass apply_native_run(NativeRun, std::size_t, const std::uint8_t*, std::size_t, std::vector<std::uint32_t>&, Changes&);
template Pass apply_native_run(NativeRun, std::size_t, const std::uint16_t*, std::size_t,
                               std::vector<std::uint32_t>&, Changes&);
template Pass apply_native_run(NativeRun, std::size_t, const std::uint32_t*, std::size_t,
                               std::vector<std::uint32_t>&, Changes&);

}  // namespace zenkor
