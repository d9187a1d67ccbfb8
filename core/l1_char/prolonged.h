// Runs of prolonged sound marks ー, or of wave dashes 〜, shortened to one.
//
// Only runs of one and the same mark shrink: ーー〜〜ー becomes ー〜ー.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::prolonged {

void collapse(std::string_view in, std::string& out, EditLog* log = nullptr);

inline constexpr Step COLLAPSE_STEP = {
    .rank = 320, .run = run_stage<collapse>, .context = StepContext::ProlongedRun, .deletes_in = IN_EVERY_VARIANT};

}  // namespace zenkor::l1_char::prolonged
