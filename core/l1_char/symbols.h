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

namespace zenkor::l1_char::symbols {

void unify(std::string_view in, std::string& out, bool hyphens, bool tildes, bool prolonged, EditLog* log = nullptr);

// The characters without which unify, with the same flags, leaves a text unchanged.
[[nodiscard]] bool unify_trigger(char32_t c, bool hyphens, bool tildes, bool prolonged) noexcept;

}  // namespace zenkor::l1_char::symbols
