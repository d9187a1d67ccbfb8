// Hiragana <-> katakana.
//
// Each letter moves by the fixed 0x60 offset between the two blocks, and the
// iteration marks follow their script (ゝ ゞ <-> ヽ ヾ).  Characters without a
// counterpart in the other block (ゟ, ヷ-ヺ, ヿ, small katakana U+31F0-U+31FF,
// half-width katakana) and the prolonged sound mark ー are left alone.
// Every character becomes one character in its place, so these stages have
// nothing to tell an EditLog.
#pragma once

#include <string>
#include <string_view>

#include "core/option_values.h"
#include "core/step.h"

namespace zenkor::l2_script::kana {

void hira_to_kata(std::string_view in, std::string& out);
void kata_to_hira(std::string_view in, std::string& out);

// The characters without which each stage above leaves a text unchanged.
[[nodiscard]] bool hira_to_kata_trigger(char32_t c) noexcept;
[[nodiscard]] bool kata_to_hira_trigger(char32_t c) noexcept;

// The step of the option kana: its variant is the KanaAction.  Every letter
// moves on its own, so each trigger has an entry in its table over code units.
void convert_step(const Config& config, std::string_view in, std::string& out, EditLog* log);
[[nodiscard]] int convert_step_variant(const Config& config) noexcept;
[[nodiscard]] inline bool convert_trigger(char32_t c, int variant) noexcept {
  return variant == static_cast<int>(KanaAction::HiraToKata) ? hira_to_kata_trigger(c) : kata_to_hira_trigger(c);
}
inline constexpr Step CONVERT_STEP = {
    .rank = 260, .run = convert_step, .trigger = convert_trigger, .variant = convert_step_variant, .alone = convert_trigger};

}  // namespace zenkor::l2_script::kana
