// Runs of one repeated character shortened to at most `limit` copies.
//
// ！！！！ becomes ！！ with limit 2.  ASCII letters and digits, the ASCII full
// stop and brackets, and CJK and fullwidth brackets are never shortened
// (wwww, 1111, ...., 」」」 stay) and end any run they stand in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::repeat {

// REQUIRES: limit >= 1 (Config refuses 0).
void shorten(std::string_view in, std::string& out, std::size_t limit, EditLog* log = nullptr);

// Whether a run of `c` is shortened: a run of such a character longer than
// the limit is what triggers shorten.
[[nodiscard]] bool shortens_runs_of(char32_t c) noexcept;

// The step of the option repeat_limit: runs are counted after symbols went
// and before letters are folded.
void shorten_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
inline constexpr Step SHORTEN_STEP = {
    .rank = 520, .run = shorten_step, .context = StepContext::RepeatRun, .deletes_in = IN_EVERY_VARIANT};

}  // namespace zenkor::l1_char::repeat
