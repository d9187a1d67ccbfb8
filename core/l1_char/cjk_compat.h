// Spells out circled numbers, parenthesized ideographs, squared katakana
// units and a few variant kanji, from one fixed table.  Characters outside
// the table (⑴, ㈴, other squared words) are copied unchanged.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"

namespace zenkor::l1_char::cjk_compat {

void expand(std::string_view in, std::string& out, EditLog* log = nullptr);

// What expand writes for `c`, or nothing when it keeps `c`.
[[nodiscard]] std::string_view expansion(char32_t c) noexcept;

// The characters without which expand leaves a text unchanged.
[[nodiscard]] bool expand_trigger(char32_t c) noexcept;

}  // namespace zenkor::l1_char::cjk_compat
