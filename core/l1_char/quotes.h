// Quotation marks: typographic and fullwidth quotes to the ASCII ones.
//
// ‘ ’ ‚ ‛ ＇ become ' and “ ” „ ‟ ＂ become ".  Corner brackets 「」『』 and
// the double prime quotation marks U+301D-U+301F are brackets, not quotes,
// and stay.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::quotes {

void unify(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which unify leaves a text unchanged.
[[nodiscard]] bool unify_trigger(char32_t c) noexcept;

inline constexpr Step UNIFY_STEP = {
    .rank = 300, .run = run_stage<unify>, .trigger = trigger_of<unify_trigger>, .alone = trigger_of<unify_trigger>};

}  // namespace zenkor::l1_char::quotes
