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

#include "core/config.h"
#include "core/edit_log.h"

namespace zenkor::l1_char::cjk_spacing {

void process(std::string_view in, std::string& out, CjkSpacing mode, EditLog* log = nullptr);

// The characters without which process with `mode` (not Keep) leaves a text
// unchanged: the ASCII space for Remove, ASCII letters and digits for Insert.
[[nodiscard]] bool process_trigger(char32_t c, CjkSpacing mode) noexcept;

}  // namespace zenkor::l1_char::cjk_spacing
