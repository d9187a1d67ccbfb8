// Emoji removal or replacement.
//
// Remove deletes every emoji code point; Placeholder replaces every maximal
// run of adjacent emoji code points (several emoji, joiners, variation
// selectors, skin tones, flag pairs alike) by one copy of the placeholder;
// Keep copies the text.  Emoji here means exactly the blocks listed in
// emoji.cc, nothing that merely has an emoji presentation elsewhere.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/option_values.h"
#include "core/step.h"

namespace zenkor::l4_extra::emoji {

void process(std::string_view in, std::string& out, const EmojiAction& action, EditLog* log = nullptr);

// The characters without which process leaves a text unchanged.
[[nodiscard]] bool process_trigger(char32_t c) noexcept;

// The step of the options emoji and emoji_placeholder: its variant is the
// EmojiAction::Kind.  Emoji go before the numeral steps read the digits
// around them.
void process_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
[[nodiscard]] int process_step_variant(const Config& config) noexcept;
inline constexpr Step PROCESS_STEP = {.rank = 400,
                                      .run = process_step,
                                      .trigger = trigger_of<process_trigger>,
                                      .variant = process_step_variant,
                                      .deletes_in = 1u << static_cast<int>(EmojiAction::Kind::Remove),
                                      .astral_triggers = true};

}  // namespace zenkor::l4_extra::emoji
