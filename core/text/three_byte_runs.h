// Runs of three-byte characters (U+0800..U+FFFF but surrogates: nearly every
// character of Japanese text), converted between code units and UTF-8 eight
// characters at a time where the processor can shuffle bytes (SSSE3), one
// at a time elsewhere and for short runs.  code_units.cc calls them at the
// start of each run.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zenkor::text {

// Whether `c` takes three bytes in UTF-8.
template <typename Unit>
[[nodiscard]] constexpr bool is_three_byte(Unit c) noexcept {
  return c >= 0x800 && c <= 0xFFFF && (c < 0xD800 || c > 0xDFFF);
}

// Writes the three bytes of `c` and one more, which the next character
// overwrites or the caller trims: one store instead of three.
inline char* put_three_bytes(char* p, char32_t c) noexcept {
  const std::uint32_t bytes = (0xE0 | (c >> 12)) | ((0x80 | ((c >> 6) & 0x3F)) << 8) | ((0x80 | (c & 0x3F)) << 16);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &bytes, 4);
  } else {
    p[0] = static_cast<char>(bytes);
    p[1] = static_cast<char>(bytes >> 8);
    p[2] = static_cast<char>(bytes >> 16);
  }
  return p + 3;
}

[[nodiscard]] constexpr bool is_three_byte_lead(unsigned char b) noexcept { return b >= 0xE0 && b < 0xF0; }

// The runs one character at a time, as the functions below take them.
template <typename Unit>
char* encode_one_by_one(const Unit* units, std::size_t length, std::size_t& k, char* p) noexcept {
  do {
    p = put_three_bytes(p, units[k++]);
  } while (k < length && is_three_byte(units[k]));
  return p;
}

template <typename Unit>
Unit* decode_one_by_one(const unsigned char* s, std::size_t size, std::size_t& pos, Unit* out) noexcept {
  do {
    *out++ = static_cast<Unit>(((s[pos] & 0x0F) << 12) | ((s[pos + 1] & 0x3F) << 6) | (s[pos + 2] & 0x3F));
    pos += 3;
  } while (pos < size && is_three_byte_lead(s[pos]));
  return out;
}

// Encodes units[k], units[k + 1], ... for as long as they are three-byte
// characters, into p onwards; returns the new end of the output and sets k
// past the run.  May write one byte past the returned end.
// REQUIRES: units[k] is a three-byte character; room at p for three bytes
// per unit up to `length` and one more.
char* encode_three_byte_run(const std::uint16_t* units, std::size_t length, std::size_t& k, char* p) noexcept;
char* encode_three_byte_run(const std::uint32_t* units, std::size_t length, std::size_t& k, char* p) noexcept;

// Decodes the three-byte characters of s from pos onwards, for as long as
// they last, into out onwards; returns the new end of the output and sets
// pos past the run.
// REQUIRES: s[0, size) is valid UTF-8 and s[pos] leads a three-byte character.
std::uint16_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos,
                                     std::uint16_t* out) noexcept;
std::uint32_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos,
                                     std::uint32_t* out) noexcept;
char32_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos, char32_t* out) noexcept;

}  // namespace zenkor::text
