// ASCII spaces between CJK text and Latin letters or digits.
//
// Remove deletes every ASCII space that has a character on both sides (runs
// of spaces skipped) with at least one of the two CJK: 日本 語 -> 日本語,
// 日本 ABC -> 日本ABC, while ABC DEF and spaces at either end of the text stay.
// Insert writes one space between a CJK character and an ASCII letter or
// digit that touch, unless either is CJK punctuation: 第1回 -> 第 1 回,
// 日本、ABC stays.  Keep copies.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/option_values.h"
#include "core/step.h"

namespace zenkor::l1_char::cjk_spacing {

void process(std::string_view in, std::string& out, CjkSpacing mode, EditLog* log = nullptr);

// The characters without which process with `mode` (not Keep) leaves a text
// unchanged: the ASCII space for Remove, ASCII letters and digits for Insert.
[[nodiscard]] bool process_trigger(char32_t c, CjkSpacing mode) noexcept;

// The step of the option cjk_spacing: its variant is the CjkSpacing mode.
void process_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
[[nodiscard]] int process_step_variant(const Config& config) noexcept;
inline constexpr Step PROCESS_STEP = {
    .rank = 610,
    .run = process_step,
    .trigger = [](char32_t c, int variant) noexcept { return process_trigger(c, static_cast<CjkSpacing>(variant)); },
    .variant = process_step_variant};

}  // namespace zenkor::l1_char::cjk_spacing
