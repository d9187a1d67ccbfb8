// The stages that open the pipeline: one kind of line break, and no
// invisible formatting or control characters, before any folding happens.
//
// Each stage clears `out` and writes the whole result there; the sets below
// are exact, so near misses (U+200D ZERO WIDTH JOINER, U+061C ARABIC LETTER
// MARK, TAB, LINE FEED, U+00A0) pass through untouched.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::cleanup {

// CR LF, a lone CR, U+0085, U+2028 and U+2029 each become one LF.
void normalize_newlines(std::string_view in, std::string& out, EditLog* log = nullptr);

// Deletes the directional marks, embeddings, overrides and isolates
// (U+200E, U+200F, U+202A-U+202E, U+2066-U+2069).
void remove_bidi_control(std::string_view in, std::string& out, EditLog* log = nullptr);

// Deletes U+200B, U+200C, U+2060 and U+FEFF.
void remove_zero_width(std::string_view in, std::string& out, EditLog* log = nullptr);

// Deletes the C0 controls except TAB and LF, DEL, and the C1 controls.
void remove_control(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which each stage above leaves a text unchanged.
[[nodiscard]] bool normalize_newlines_trigger(char32_t c) noexcept;
[[nodiscard]] bool remove_bidi_control_trigger(char32_t c) noexcept;
[[nodiscard]] bool remove_zero_width_trigger(char32_t c) noexcept;
[[nodiscard]] bool remove_control_trigger(char32_t c) noexcept;

// The steps that open the pipeline.  The removals run as one pass with the
// other removals of invisible characters (FusibleGroup::Invisibles).
inline constexpr Step NORMALIZE_NEWLINES_STEP = {
    .rank = 100,
    .run = run_stage<normalize_newlines>,
    .trigger = trigger_of<normalize_newlines_trigger>,
    // A CR is the start of a CR LF.
    .alone = [](char32_t c, int) noexcept { return c != U'\r' && normalize_newlines_trigger(c); }};
inline constexpr Step REMOVE_BIDI_CONTROL_STEP =
    invisible_removal<remove_bidi_control, remove_bidi_control_trigger>(110);
inline constexpr Step REMOVE_ZERO_WIDTH_STEP = invisible_removal<remove_zero_width, remove_zero_width_trigger>(120);
inline constexpr Step REMOVE_CONTROL_STEP = invisible_removal<remove_control, remove_control_trigger>(130);

}  // namespace zenkor::l1_char::cleanup
