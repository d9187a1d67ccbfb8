// Unicode Normalization Form KC, with two departures that keep Japanese text
// readable:
//
// - Characters whose compatibility decomposition would put a space into the
//   text (¨, ¯, ´, ￣, the Greek and Arabic spacing accents, ...) are copied
//   unchanged, and no composition or reordering reaches across them.
// - A voiced or semi-voiced sound mark in any of its three forms (combining,
//   spacing, halfwidth) joins the kana before it (か゛ -> が, ｶﾞ -> ガ), the
//   small katakana U+31F0-U+31FF included (ㇷ゜ -> ㇷ and U+309A);
//   anywhere else it comes out as the spacing mark ゛ or ゜, never as a space
//   followed by a combining mark.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l1_char::nfkc {

void normalize(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which normalize leaves a text unchanged: those NFKC
// may change or join to the character before them, but not the ones normalize copies.
[[nodiscard]] bool normalize_trigger(char32_t c) noexcept;

// Appends plain NFKC of `text` to `out`, handing the normalizer at most
// `max_piece` bytes at a time (normalize uses its limit, INT32_MAX bytes).  Pieces
// end before a character with a normalization boundary before it, so the
// result is that of one call.  Separate so that the cutting can be tested on
// small pieces.  Given a log, records what changed there, with `text` at
// byte `text_begin` of the stage's input.  REQUIRES: max_piece >= 4.
void append_plain(std::string_view text, std::string& out, std::size_t max_piece, EditLog* log = nullptr,
                  std::size_t text_begin = 0);

// The triggers normalize rewrites the same whatever their neighbours, when
// none of those is a trigger outside this set: those with a normalization
// boundary before them, but the sound marks.
[[nodiscard]] bool normalize_alone(char32_t c) noexcept;

// The sound marks, which normalize joins to a kana before them and else
// writes in their spacing form; and the characters they join.
[[nodiscard]] bool is_sound_mark(char32_t c) noexcept;
[[nodiscard]] bool sound_mark_joins(char32_t before) noexcept;

inline constexpr Step NORMALIZE_STEP = {.rank = 200,
                                        .run = run_stage<normalize>,
                                        .trigger = trigger_of<normalize_trigger>,
                                        .astral_triggers = true,
                                        .alone = trigger_of<normalize_alone>,
                                        .alone_unless_joined = trigger_of<is_sound_mark>,
                                        .joins = sound_mark_joins};

}  // namespace zenkor::l1_char::nfkc
