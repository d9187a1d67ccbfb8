// Halfwidth katakana and halfwidth CJK punctuation to their fullwidth forms.
//
// A halfwidth voiced or semi-voiced mark right after a kana that has a
// precomposed voiced form joins it (ｶﾞ -> ガ, ﾊﾟ -> パ); any other halfwidth
// mark stays as it is.  ワ and ヲ are not composed with ﾞ here.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::width {

void halfwidth_kana_to_fullwidth(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which halfwidth_kana_to_fullwidth leaves a text unchanged.
[[nodiscard]] bool halfwidth_kana_to_fullwidth_trigger(char32_t c) noexcept;

// The triggers that neither take a mark after them nor are one.
[[nodiscard]] bool halfwidth_kana_to_fullwidth_alone(char32_t c) noexcept;

inline constexpr Step HALFWIDTH_KANA_TO_FULLWIDTH_STEP = {.rank = 230,
                                                          .run = run_stage<halfwidth_kana_to_fullwidth>,
                                                          .trigger = trigger_of<halfwidth_kana_to_fullwidth_trigger>,
                                                          .alone = trigger_of<halfwidth_kana_to_fullwidth_alone>};

}  // namespace zenkor::l1_char::width
