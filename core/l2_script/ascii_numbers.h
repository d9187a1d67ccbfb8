// One spelling for numbers written with ASCII digits.
//
// canonicalize drops thousands separators, leading zeros of the integer part
// and trailing zeros of the fraction (1,000.50 -> 1000.5, 007 -> 7), and the
// zero padding of ISO-like dates (2024-01-05 -> 2024-1-5).  Digits that belong
// to identifiers (x007, abc_01, x1.50), dotted sequences of three or more parts
// (192.168.0.1) and hyphenated groups that are not dates (03-1234-5678) stay
// as they are, and so do the digits after a "." (.05 is a fraction) and after
// a comma that follows a digit (0,05 and 1,0000 keep their zeros); after a "."
// that follows another "." (an ellipsis) a number starts (a..05 -> a..5).
// Works on bytes and handles numbers as text, so any length is fine.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l2_script::ascii_numbers {

void canonicalize(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which canonicalize leaves a text unchanged.
[[nodiscard]] bool canonicalize_trigger(char32_t c) noexcept;

inline constexpr Step CANONICALIZE_STEP = {
    .rank = 440, .run = run_stage<canonicalize>, .trigger = trigger_of<canonicalize_trigger>};

}  // namespace zenkor::l2_script::ascii_numbers
