// ASCII decimal helpers shared by the numeral stages: digit tests, the
// thousands-separator shape, where a number continues, and checked unsigned
// 128-bit arithmetic.
//
// Numbers in running text can be arbitrarily long, so every step that could
// wrap is checked and reports failure instead; the stages then leave the text
// as it was.  The checked helpers return false on overflow and leave their
// result unspecified.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/text/chars.h"

namespace zenkor::l2_script {

__extension__ typedef unsigned __int128 u128;

// The position of the first ASCII digit at or after `pos`, or s.size().
// Tests eight bytes at a time: XOR with '0' turns digits into bytes 0-9, and
// adding 0x76 to the low seven bits sets the top bit of every byte from 10 up.
[[nodiscard]] inline std::size_t find_ascii_digit(std::string_view s, std::size_t pos) noexcept {
  constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101ULL;
  for (; pos + 8 <= s.size(); pos += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + pos, 8);
    const std::uint64_t x = word ^ ('0' * EVERY_BYTE);
    // A digit among these eight?
    if (~(((x & (0x7F * EVERY_BYTE)) + 0x76 * EVERY_BYTE) | x) & (0x80 * EVERY_BYTE)) break;
  }
  while (pos < s.size() && !text::is_ascii_digit(static_cast<unsigned char>(s[pos]))) ++pos;
  return pos;
}

// True when `s` has exactly three ASCII digits at `pos` and no further digit
// right after them: the digits a thousands separator "," must introduce.
[[nodiscard]] constexpr bool is_thousands_group(std::string_view s, std::size_t pos) noexcept {
  if (pos + 3 > s.size()) return false;
  for (std::size_t k = pos; k < pos + 3; ++k) {
    if (!text::is_ascii_digit(static_cast<unsigned char>(s[k]))) return false;
  }
  return pos + 3 == s.size() || !text::is_ascii_digit(static_cast<unsigned char>(s[pos + 3]));
}

// True when digits that start right after `before` continue a number that
// `before` already began, so they must not be read as a number of their own:
// after a decimal point they are a fraction (.05, 打率.050, .5万 is half of
// 万) whose zeros and magnitude count, and after a comma that follows a digit
// they belong to that number even where the comma is no thousands separator
// (0,05, 1,0000万).  A "." right after another "." is no decimal point but
// part of an ellipsis (NFKC writes "…" as "..."), so digits after it start a
// new number (えっ...5千円).  `before` is the text the caller reads: the input
// or the output written so far.
[[nodiscard]] constexpr bool continues_number(std::string_view before) noexcept {
  const std::size_t n = before.size();
  if (n == 0) return false;
  if (before[n - 1] == '.') return n == 1 || before[n - 2] != '.';
  return before[n - 1] == ',' && n >= 2 && text::is_ascii_digit(static_cast<unsigned char>(before[n - 2]));
}

[[nodiscard]] inline bool checked_add(u128 a, u128 b, u128& r) noexcept { return !__builtin_add_overflow(a, b, &r); }

[[nodiscard]] inline bool checked_mul(u128 a, u128 b, u128& r) noexcept { return !__builtin_mul_overflow(a, b, &r); }

// acc = acc * 10 + digit, checked.
[[nodiscard]] inline bool push_decimal_digit(u128& acc, unsigned digit) noexcept {
  return checked_mul(acc, 10, acc) && checked_add(acc, digit, acc);
}

// The value of a run of ASCII digits (leading zeros allowed), or nothing when
// it does not fit in 128 bits.
// REQUIRES: every byte of `digits` is an ASCII digit.
[[nodiscard]] inline std::optional<u128> parse_decimal(std::string_view digits) noexcept {
  u128 v = 0;
  for (const char ch : digits) {
    if (!push_decimal_digit(v, static_cast<unsigned>(ch - '0'))) return std::nullopt;
  }
  return v;
}

// Appends `v` in ASCII decimal without leading zeros ("0" for zero).
inline void append_decimal(std::string& out, u128 v) {
  char buf[40];  // 2^128 - 1 has 39 digits
  std::size_t n = 0;
  do {
    buf[n++] = static_cast<char>('0' + static_cast<unsigned>(v % 10));
    v /= 10;
  } while (v != 0);
  while (n > 0) out.push_back(buf[--n]);
}

}  // namespace zenkor::l2_script
