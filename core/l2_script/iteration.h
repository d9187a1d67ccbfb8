// Iteration marks spelled out.
//
// expand_iteration_marks replaces 々 〻 (after a kanji), ゝ ゞ (after a
// hiragana letter) and ヽ ヾ (after a katakana letter) by the one character
// they repeat: 人々 -> 人人, こゝろ -> こころ, すゞ -> すず, カヾ -> カガ.
// The plain marks repeat the unvoiced form, the voiced marks the voiced form.
// A mark with nothing fitting before it stays as it is, and so does a kana
// mark right before "(" or "（", the arm of a kaomoji (ヽ(；▽；)ノ).
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l2_script::iteration {

void expand_iteration_marks(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which expand_iteration_marks leaves a text unchanged.
[[nodiscard]] bool expand_iteration_marks_trigger(char32_t c) noexcept;

// What the iteration mark `mark` is written as after `prev` (what the
// character before it was written as; U+0000 at the start) and before `next`
// (the input character after it; U+0000 at the end): `mark` itself where it
// stays.
[[nodiscard]] char32_t expand_mark(char32_t prev, char32_t mark, char32_t next) noexcept;

// The plain form of a voiced or semi-voiced kana (が -> か, ぱ -> は, ヴ -> ウ);
// any other character is returned unchanged.
[[nodiscard]] char32_t unvoice(char32_t c) noexcept;

inline constexpr Step EXPAND_ITERATION_MARKS_STEP = {
    .rank = 240, .run = run_stage<expand_iteration_marks>, .trigger = trigger_of<expand_iteration_marks_trigger>};

}  // namespace zenkor::l2_script::iteration
