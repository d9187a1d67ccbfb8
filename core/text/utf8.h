// Decoding and encoding of valid UTF-8, and fast ways through it.
//
// All text inside zenkor is valid UTF-8 (the binding checks what comes from
// outside; see utf8_validate.h), so these helpers trust the lead byte and do
// not check what follows it.  That keeps the decode loop to a few
// instructions, which matters because every stage runs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zenkor::text::utf8 {

// Number of bytes of the sequence that starts with lead byte `b`.
// REQUIRES: b is a lead byte of valid UTF-8 (not a continuation byte).
[[nodiscard]] constexpr std::size_t sequence_length(unsigned char b) noexcept {
  if (b < 0x80) return 1;
  if (b < 0xE0) return 2;
  if (b < 0xF0) return 3;
  return 4;
}

// Whether `b` continues a multi-byte sequence (10xxxxxx).
[[nodiscard]] constexpr bool is_continuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// Decodes the scalar value at `pos` and advances `pos` past it.
// REQUIRES: pos < s.size(), pos at a character boundary of valid UTF-8.
[[nodiscard]] inline char32_t next(std::string_view s, std::size_t& pos) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    pos += 1;
    return b0;
  }
  const auto at = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[pos + i]) & 0x3F); };
  char32_t c;
  if (b0 < 0xE0) {
    c = (static_cast<char32_t>(b0 & 0x1F) << 6) | at(1);
    pos += 2;
  } else if (b0 < 0xF0) {
    c = (static_cast<char32_t>(b0 & 0x0F) << 12) | (at(1) << 6) | at(2);
    pos += 3;
  } else {
    c = (static_cast<char32_t>(b0 & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
    pos += 4;
  }
  return c;
}

// Decodes the scalar value that ends right before `pos` and moves `pos` to its start.
// REQUIRES: 0 < pos <= s.size(), pos at a character boundary of valid UTF-8.
[[nodiscard]] inline char32_t prev(std::string_view s, std::size_t& pos) noexcept {
  const auto at = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
  char32_t b = at(--pos);
  if (b < 0x80) return b;
  // Continuation bytes back to the lead, decoding as it goes.
  char32_t c = b & 0x3F;
  if ((b = at(--pos)) >= 0xC0) return (b & 0x1F) << 6 | c;
  c |= (b & 0x3F) << 6;
  if ((b = at(--pos)) >= 0xC0) return (b & 0x0F) << 12 | c;
  c |= (b & 0x3F) << 12;
  return (at(--pos) & 0x07) << 18 | c;
}

// The first character boundary at or after byte `pos`, or s.size() past the end.
// REQUIRES: s is valid UTF-8.
[[nodiscard]] inline std::size_t boundary_at_or_after(std::string_view s, std::size_t pos) noexcept {
  if (pos >= s.size()) return s.size();
  while (pos < s.size() && is_continuation(static_cast<unsigned char>(s[pos]))) ++pos;
  return pos;
}

// Number of bytes `c` takes in UTF-8.
[[nodiscard]] constexpr std::size_t encoded_length(char32_t c) noexcept {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Appends the UTF-8 encoding of scalar value `c`.
inline void append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    const char buf[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 2);
  } else if (c < 0x10000) {
    const char buf[3] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 3);
  } else {
    const char buf[4] = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                         static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 4);
  }
}

// Number of characters of `s`: the bytes that start one.
[[nodiscard]] inline std::size_t length(std::string_view s) noexcept {
  std::size_t n = 0;
  for (const char b : s) n += !is_continuation(static_cast<unsigned char>(b));
  return n;
}

// Decodes a whole text into scalar values, for stages that need random access.
[[nodiscard]] inline std::u32string decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) out.push_back(next(s, pos));
  return out;
}

// Length of the run of ASCII bytes at `pos`, eight bytes at a time: for
// copying or passing over unchanged ASCII in bulk.
[[nodiscard]] inline std::size_t ascii_prefix(std::string_view s, std::size_t pos) noexcept {
  const std::size_t start = pos;
  while (pos + 8 <= s.size()) {
    std::uint64_t word;
    __builtin_memcpy(&word, s.data() + pos, 8);
    if (word & 0x8080808080808080ULL) break;
    pos += 8;
  }
  while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) ++pos;
  return pos - start;
}

// The first character at or after `pos` that takes three bytes (U+0800-U+FFFF,
// which holds kana, most kanji and CJK punctuation), or s.size(); for stages
// that change only such characters.  The branch it takes at each character
// is easy to predict in Japanese text, where most characters take three bytes.
// REQUIRES: pos at a character boundary of valid UTF-8 `s`.
[[nodiscard]] inline std::size_t next_three_byte(std::string_view s, std::size_t pos) noexcept {
  while (pos < s.size()) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if ((lead & 0xF0) == 0xE0) break;
    pos += sequence_length(lead);
  }
  return pos;
}

// The first occurrence of the encoded character `ch` at or after `pos`, or
// npos.  memchr seeks its last byte: in CJK text a lead byte such as 0xE3,
// which starts every kana, stops the search far more often.
// REQUIRES: `ch` is one encoded character.
[[nodiscard]] inline std::size_t find_char(std::string_view s, std::string_view ch, std::size_t pos) noexcept {
  for (std::size_t last = pos + ch.size() - 1; last < s.size(); ++last) {
    last = s.find(ch.back(), last);
    if (last == std::string_view::npos) break;
    if (s.substr(last + 1 - ch.size(), ch.size()) == ch) return last + 1 - ch.size();
  }
  return std::string_view::npos;
}

}  // namespace zenkor::text::utf8
