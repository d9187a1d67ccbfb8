// Letter case of the whole text, by the full default Unicode case mappings.
//
// Lower maps İ to i + U+0307 and a word-final Σ to ς; Upper maps ß to SS and
// ﬁ to FI; Keep copies.  Kana, kanji and other uncased characters stay.
// `case` is a C++ keyword, hence the trailing underscore of the namespace.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/option_values.h"
#include "core/step.h"

namespace zenkor::l1_char::case_ {

void convert(std::string_view in, std::string& out, CaseAction action, EditLog* log = nullptr);

// The characters without which convert with `action` (not Keep) leaves a text
// unchanged: those whose case mapping differs from themselves.
[[nodiscard]] bool convert_trigger(char32_t c, CaseAction action) noexcept;

// convert, handing the case mapper at most `max_piece` bytes at a time (convert
// itself uses the mapper's limit, INT32_MAX bytes).  Each piece ends before a
// character that is neither cased nor case-ignorable, where no case context
// reaches across, so the result is that of one call; only a piece with no such
// character in its last MiB is cut at a plain character boundary.  Separate so that the cutting
// can be tested on small pieces.  REQUIRES: max_piece >= 4.
void convert_in_pieces(std::string_view in, std::string& out, CaseAction action, std::size_t max_piece,
                       EditLog* log = nullptr);

// Whether a Σ after `before` may be the end of a word, which lowers to ς:
// `before` is cased or case-ignorable.  After any other character (or at the
// start) a Σ lowers to σ whatever follows it.
[[nodiscard]] bool sigma_may_end_word_after(char32_t before) noexcept;

// The step of the option case: its variant is the CaseAction.
void convert_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
[[nodiscard]] int convert_step_variant(const Config& config) noexcept;
inline constexpr Step CONVERT_STEP = {
    .rank = 530,
    .run = convert_step,
    .trigger = [](char32_t c, int variant) noexcept { return convert_trigger(c, static_cast<CaseAction>(variant)); },
    .variant = convert_step_variant,
    .astral_triggers = true,
    // Σ lowers by what follows and precedes it (the final-sigma rule).
    .alone = [](char32_t c, int variant) noexcept {
      return convert_trigger(c, static_cast<CaseAction>(variant)) &&
             !(c == 0x03A3 && variant == static_cast<int>(CaseAction::Lower));
    },
    .alone_unless_joined = [](char32_t c, int variant) noexcept {
      return c == 0x03A3 && variant == static_cast<int>(CaseAction::Lower);
    },
    .joins = sigma_may_end_word_after};

}  // namespace zenkor::l1_char::case_
