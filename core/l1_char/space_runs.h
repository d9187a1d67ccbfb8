// Runs of tabs, spaces and ideographic spaces collapsed to one ASCII space.
//
// Line feeds are not white space here, so a b\n c keeps its line break; runs
// at the start and end become one space too (trimming is a separate option).
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::space_runs {

void collapse(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which collapse leaves a text unchanged (it also changes
// a run of spaces, which the caller looks for itself).
[[nodiscard]] bool collapse_trigger(char32_t c) noexcept;

inline constexpr Step COLLAPSE_STEP = {
    .rank = 600, .run = run_stage<collapse>, .trigger = trigger_of<collapse_trigger>, .context = StepContext::SpaceRun};

}  // namespace zenkor::l1_char::space_runs
