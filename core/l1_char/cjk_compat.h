// Spells out circled numbers, parenthesized ideographs, squared katakana
// units and a few variant kanji, from one fixed table.  Characters outside
// the table (⑴, ㈴, other squared words) are copied unchanged.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"
#include "core/text/rewriter.h"

namespace zenkor::l1_char::cjk_compat {

void expand(std::string_view in, std::string& out, EditLog* log = nullptr);

// What expand writes for `c`, or nothing when it keeps `c`.
[[nodiscard]] std::string_view expansion(char32_t c) noexcept;

// The characters without which expand leaves a text unchanged.
[[nodiscard]] bool expand_trigger(char32_t c) noexcept;

inline constexpr Step EXPAND_STEP = {
    .rank = 150,
    .run = run_stage<expand>,
    .trigger = trigger_of<expand_trigger>,
    .fusible = FusibleGroup::Invisibles,
    .rewrite_char = [](text::Rewriter<NoLog>& w, char32_t c) { w.replace(expansion(c)); },
    .alone = trigger_of<expand_trigger>};

}  // namespace zenkor::l1_char::cjk_compat
