// Kanji numerals to ASCII digits and back.
//
// kansuji_to_arabic rewrites quantities written in kanji numerals (二千二十四,
// 二〇二四, 百二十万) and mixed numbers (1万2千, 2.5億) as plain decimal digits,
// while leaving alone what is not a quantity: fixed idioms (八百屋), names
// (一郎), vague amounts (数百, 何千) and lone numeral kanji inside words (統一).
// arabic_to_kansuji writes every run of ASCII digits in kanji numerals with
// the units 十 百 千 and the group markers 万 億 兆 京.
//
// Digits right after a "," that follows a digit, where the comma is not a
// thousands separator (1,0000万), and digits right after a "." that no digit
// precedes (.5万) are copied unchanged rather than read as a new number; after
// a "." that follows another "." (an ellipsis, ...5千円) they start one.  All
// arithmetic is checked unsigned 128-bit; a number that does not fit is
// copied unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/l2_script/decimal.h"
#include "core/step.h"

namespace zenkor::l2_script::kansuji {

void kansuji_to_arabic(std::string_view in, std::string& out, EditLog* log = nullptr);

// Values of 10^20 and above have no rendering in four-digit groups up to 京,
// so those digit runs are copied unchanged, like runs that exceed 128 bits.
void arabic_to_kansuji(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which each stage above leaves a text unchanged:
// ASCII digits, and for kansuji_to_arabic the numeral kanji.
[[nodiscard]] bool kansuji_to_arabic_trigger(char32_t c) noexcept;
[[nodiscard]] bool arabic_to_kansuji_trigger(char32_t c) noexcept;

// The value of a group of digit kanji and the small units 十 百 千 ("" is 0,
// 二十三 is 23, 二三 is 23, 〇十 is 10: a zero before a unit counts as one).
// Nothing for any other character or on overflow.
[[nodiscard]] std::optional<u128> parse_small(std::u32string_view group);

// `multiplier` times the value of a block of ASCII digits, digit kanji, small
// units, "," (ignored) and at most one "." (1.5 with 10^4 is 15000; 0十 is 0).
// Nothing when the block is malformed, the product is not whole, or on
// overflow.
[[nodiscard]] std::optional<u128> parse_mixed_block(std::u32string_view block, u128 multiplier);

inline constexpr Step KANSUJI_TO_ARABIC_STEP = {
    .rank = 410, .run = run_stage<kansuji_to_arabic>, .trigger = trigger_of<kansuji_to_arabic_trigger>};
inline constexpr Step ARABIC_TO_KANSUJI_STEP = {
    .rank = 420, .run = run_stage<arabic_to_kansuji>, .trigger = trigger_of<arabic_to_kansuji_trigger>};

}  // namespace zenkor::l2_script::kansuji
