// Removal of whole classes of visible characters, for texts that are
// compared rather than read.  (The invisible ones, controls and format
// characters, go in cleanup.h.)
//
// remove_cjk_compat deletes enclosed alphanumerics (U+2460-U+24FF), enclosed
// CJK letters and squared words (U+3200-U+33FF) and CJK compatibility
// ideographs (U+F900-U+FAFF).
//
// remove_symbols deletes ASCII punctuation and controls, general punctuation,
// CJK punctuation and fullwidth punctuation, except between two ASCII digits:
// there "." stays (3.14), a "," followed by exactly three digits goes
// (1,234 -> 1234) and any other symbol becomes one space (12:30 -> 12 30).
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::removal {

void remove_cjk_compat(std::string_view in, std::string& out, EditLog* log = nullptr);
void remove_symbols(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which each stage above leaves a text unchanged.
[[nodiscard]] bool remove_cjk_compat_trigger(char32_t c) noexcept;
[[nodiscard]] bool remove_symbols_trigger(char32_t c) noexcept;

// After the compatibility characters were expanded, so that only those
// without an expansion are left to delete.
inline constexpr Step REMOVE_CJK_COMPAT_STEP = {.rank = 500,
                                                .run = run_stage<remove_cjk_compat>,
                                                .trigger = trigger_of<remove_cjk_compat_trigger>,
                                                .deletes_in = IN_EVERY_VARIANT,
                                                .alone = trigger_of<remove_cjk_compat_trigger>};
inline constexpr Step REMOVE_SYMBOLS_STEP = {
    .rank = 510, .run = run_stage<remove_symbols>, .trigger = trigger_of<remove_symbols_trigger>};

}  // namespace zenkor::l1_char::removal
