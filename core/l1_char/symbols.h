// Dashes, tildes and lengthening look-alikes.
//
// With `hyphens`, dash-like characters become "-"; with `tildes`, tilde-like
// characters (the ASCII "~" included) become the wave dash 〜; with
// `prolonged`, the halfwidth ｰ becomes ー, and so does a box-drawing bar ─ or ━
// written right after kana, where it was meant as a lengthening mark.  A bar
// that is not taken for ー becomes "-" with `hyphens`.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::symbols {

void unify(std::string_view in, std::string& out, bool hyphens, bool tildes, bool prolonged, EditLog* log = nullptr);

// The characters without which unify, with the same flags, leaves a text unchanged.
[[nodiscard]] bool unify_trigger(char32_t c, bool hyphens, bool tildes, bool prolonged) noexcept;

// The step of the options unify_hyphens, unify_tildes and unify_prolonged:
// its variant has bit 0, 1 and 2 for each that is on.
void unify_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
[[nodiscard]] int unify_step_variant(const Config& config) noexcept;
inline constexpr Step UNIFY_STEP = {
    .rank = 310,
    .run = unify_step,
    .trigger = [](char32_t c, int variant) noexcept {
      return unify_trigger(c, (variant & 1) != 0, (variant & 2) != 0, (variant & 4) != 0);
    },
    .variant = unify_step_variant,
    // A box-drawing bar reads the character before it.
    .alone = [](char32_t c, int variant) noexcept {
      return c != 0x2500 && c != 0x2501 && unify_trigger(c, (variant & 1) != 0, (variant & 2) != 0, (variant & 4) != 0);
    }};

}  // namespace zenkor::l1_char::symbols
