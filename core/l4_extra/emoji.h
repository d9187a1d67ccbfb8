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

#include "core/config.h"
#include "core/edit_log.h"

namespace zenkor::l4_extra::emoji {

void process(std::string_view in, std::string& out, const EmojiAction& action, EditLog* log = nullptr);

// The characters without which process leaves a text unchanged.
[[nodiscard]] bool process_trigger(char32_t c) noexcept;

}  // namespace zenkor::l4_extra::emoji
