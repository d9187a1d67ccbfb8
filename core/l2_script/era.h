// Japanese era years as Western years.
//
// era_to_western rewrites 平成30年, 令和元年, 昭和六十四年 and the letter forms
// H30年, R01年 as 2018年, 2019年, 1989年.  The year must be followed by 年 (but
// not 年代 or 年間, which name spans, not years) and lie inside its era.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l2_script::era {

void era_to_western(std::string_view in, std::string& out, EditLog* log = nullptr);

// What can make era_to_western change a text: a 年, and before it a
// character for which starts_era holds (the first of an era's name or its letter).
[[nodiscard]] bool starts_era(char32_t c) noexcept;

// After kanji numerals became digits.
inline constexpr Step ERA_TO_WESTERN_STEP = {
    .rank = 430, .run = run_stage<era_to_western>, .context = StepContext::EraYear};

}  // namespace zenkor::l2_script::era
