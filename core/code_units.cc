#include "core/code_units.h"

#include <algorithm>
#include <cstdint>

#include "core/text/utf8.h"
#include "core/text/three_byte_runs.h"

namespace zenkor {
namespace {

// Written by hand rather than with the interpreter's encoder, which would
// need the interpreter lock: the engine converts while other threads run.
// Runs of ASCII and runs of three-byte characters each have a loop of
// their own, so that the branches inside a run all go one way: twice as
// fast on Japanese text as one loop for every kind of character.
template <typename Unit>
std::size_t utf8_size(const Unit* units, std::size_t length) noexcept {
  std::size_t size = length;
  for (std::size_t k = 0; k < length; ++k) {
    const Unit c = units[k];
    size += static_cast<std::size_t>(c >= 0x80) + static_cast<std::size_t>(c >= 0x800) +
            static_cast<std::size_t>(c > 0xFFFF);
  }
  return size;
}

// Texts of this many bytes or more are measured before they are converted:
// resizing for the worst case writes every byte of it, which for a huge
// text of mostly ASCII in two bytes a character is three times the UTF-8 it
// needs.
constexpr std::size_t MEASURED_FROM_BYTES = std::size_t{1} << 20;

template <typename Unit>
bool encode(const Unit* units, std::size_t length, std::string& out) {
  // Three bytes per character at most below U+10000, four above, and the
  // byte a run of three-byte characters may write past the end: size for
  // the worst case once (or exactly, for a huge text), then trim.
  const std::size_t worst = length * (sizeof(Unit) == 1 ? 2 : sizeof(Unit) == 2 ? 3 : 4);
  out.resize((length * sizeof(Unit) >= MEASURED_FROM_BYTES ? utf8_size(units, length) : worst) + 1);
  char* p = out.data();
  std::size_t k = 0;
  while (k < length) {
    const Unit c = units[k];
    if (c < 0x80) {
      // ASCII eight characters at a time, then one by one to the run's end.
      while (k + 8 <= length) {
        std::uint64_t high = 0;
        for (std::size_t j = 0; j < 8; ++j) high |= static_cast<std::uint64_t>(units[k + j]);
        if (high >= 0x80) break;
        for (std::size_t j = 0; j < 8; ++j) p[j] = static_cast<char>(units[k + j]);
        p += 8;
        k += 8;
      }
      while (k < length && units[k] < 0x80) *p++ = static_cast<char>(units[k++]);
    } else if (text::is_three_byte(c)) {
      // Eight characters a step pay off from runs of eight.
      if constexpr (sizeof(Unit) > 1) {
        const bool long_run = k + 8 <= length && text::is_three_byte(units[k + 7]);
        p = long_run ? text::encode_three_byte_run(units, length, k, p) : text::encode_one_by_one(units, length, k, p);
      }
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
      ++k;
    } else if (c <= 0xFFFF) {
      return false;  // a surrogate
    } else {
      const auto w = static_cast<char32_t>(c);
      *p++ = static_cast<char>(0xF0 | (w >> 18));
      *p++ = static_cast<char>(0x80 | ((w >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((w >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (w & 0x3F));
      ++k;
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return true;
}

// Runs of three-byte characters have a loop of their own, as in encode.
// REQUIRES: text is valid UTF-8 whose characters fit in a Unit.
template <typename Unit>
std::size_t decode(std::string_view text, Unit* out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  Unit* p = out;
  for (std::size_t pos = 0; pos < size;) {
    const unsigned char b = s[pos];
    if (b < 0x80) {
      *p++ = b;
      ++pos;
    } else if (sizeof(Unit) > 1 && text::is_three_byte_lead(b)) {  // latin-1 holds none
      if constexpr (sizeof(Unit) > 1) {
        const bool long_run = pos + 24 <= size && text::is_three_byte_lead(s[pos + 21]);
        p = long_run ? text::decode_three_byte_run(s, size, pos, p) : text::decode_one_by_one(s, size, pos, p);
      }
    } else {
      *p++ = static_cast<Unit>(text::utf8::next(text, pos));
    }
  }
  return static_cast<std::size_t>(p - out);
}

}  // namespace

WideText from_utf8(std::string_view text, std::string& buffer) {
  // The largest lead byte tells the width, and the largest character.
  unsigned char top = 0;
  for (const char b : text) top = std::max(top, static_cast<unsigned char>(b));
  const unsigned width = top < 0xC4 ? 1 : top < 0xF0 ? 2 : 4;
  // Room for a character per byte, or for a huge text exactly its
  // characters (the bytes that are no continuation bytes): resizing writes
  // every byte, and four for each byte of Japanese text is eight times the
  // str it becomes.
  std::size_t room = text.size();
  if (room >= MEASURED_FROM_BYTES) {
    room = static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char b) { return (static_cast<unsigned char>(b) & 0xC0) != 0x80; }));
  }
  buffer.resize(room * width);
  std::size_t length = 0;
  switch (width) {
    case 1: length = decode(text, reinterpret_cast<std::uint8_t*>(buffer.data())); break;
    case 2: length = decode(text, reinterpret_cast<std::uint16_t*>(buffer.data())); break;
    default: length = decode(text, reinterpret_cast<std::uint32_t*>(buffer.data())); break;
  }
  buffer.resize(length * width);
  // Any character of the width's range will do: a str takes its kind from it.
  const char32_t max_char = width == 4 ? 0x10FFFF : width == 2 ? 0xFFFF : top < 0x80 ? 0x7F : 0xFF;
  return {{buffer.data(), length, width}, max_char};
}

std::size_t utf8_size(CodeUnits text) noexcept {
  switch (text.width) {
    case 1: return utf8_size(static_cast<const std::uint8_t*>(text.data), text.length);
    case 2: return utf8_size(static_cast<const std::uint16_t*>(text.data), text.length);
    default: return utf8_size(static_cast<const std::uint32_t*>(text.data), text.length);
  }
}

namespace {

template <typename From>
WideText narrowest_of(const From* text, std::size_t length, std::string& buffer) {
  std::uint32_t top = 0;
  for (std::size_t i = 0; i < length; ++i) top = std::max<std::uint32_t>(top, text[i]);
  const unsigned width = top < 0x100 ? 1 : top < 0x10000 ? 2 : 4;
  buffer.resize(length * width);
  const auto write = [&](auto* out) { std::copy_n(text, length, out); };
  switch (width) {
    case 1: write(reinterpret_cast<std::uint8_t*>(buffer.data())); break;
    case 2: write(reinterpret_cast<std::uint16_t*>(buffer.data())); break;
    default: write(reinterpret_cast<std::uint32_t*>(buffer.data())); break;
  }
  const char32_t max_char = width == 4 ? 0x10FFFF : width == 2 ? 0xFFFF : top < 0x80 ? 0x7F : 0xFF;
  return {{buffer.data(), length, width}, max_char};
}

}  // namespace

bool same_characters(CodeUnits a, CodeUnits b) noexcept {
  if (a.length != b.length) return false;
  if (a.data == b.data && a.width == b.width) return true;
  const auto with = [&](const auto* x) {
    const auto same = [&](const auto* y) { return std::equal(x, x + a.length, y); };
    switch (b.width) {
      case 1: return same(static_cast<const std::uint8_t*>(b.data));
      case 2: return same(static_cast<const std::uint16_t*>(b.data));
      default: return same(static_cast<const std::uint32_t*>(b.data));
    }
  };
  switch (a.width) {
    case 1: return with(static_cast<const std::uint8_t*>(a.data));
    case 2: return with(static_cast<const std::uint16_t*>(a.data));
    default: return with(static_cast<const std::uint32_t*>(a.data));
  }
}

WideText narrowest(CodeUnits text, std::string& buffer) {
  switch (text.width) {
    case 1: return narrowest_of(static_cast<const std::uint8_t*>(text.data), text.length, buffer);
    case 2: return narrowest_of(static_cast<const std::uint16_t*>(text.data), text.length, buffer);
    default: return narrowest_of(static_cast<const std::uint32_t*>(text.data), text.length, buffer);
  }
}

bool to_utf8(CodeUnits text, std::string& out) {
  switch (text.width) {
    case 1: return encode(static_cast<const std::uint8_t*>(text.data), text.length, out);
    case 2: return encode(static_cast<const std::uint16_t*>(text.data), text.length, out);
    default: return encode(static_cast<const std::uint32_t*>(text.data), text.length, out);
  }
}

}  // namespace zenkor
