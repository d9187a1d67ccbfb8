#include "core/code_units.h"

#include <cstdint>
#include <cstring>
#include <algorithm>

#include "core/text/utf8.h"

namespace zenkor {
namespace {

// Written by hand rather than with the interpreter's encoder, which would
// need the interpreter lock: the engine converts while other threads run.
template <typename Unit>
bool encode(const Unit* units, std::size_t length, std::string& out) {
  // Three bytes per character at most below U+10000, four above: size for
  // the worst case once, then trim.
  out.resize(length * (sizeof(Unit) == 1 ? 2 : sizeof(Unit) == 2 ? 3 : 4));
  char* p = out.data();
  std::size_t k = 0;
  while (k < length) {
    // ASCII eight characters at a time, the common case in every width;
    // otherwise the next eight one by one, so that text without ASCII is not
    // tested in blocks at every character.
    std::size_t block_end = std::min(k + 8, length);
    if (block_end - k == 8) {
      std::uint64_t high = 0;
      for (std::size_t j = 0; j < 8; ++j) high |= static_cast<std::uint64_t>(units[k + j]);
      if (high < 0x80) {
        for (std::size_t j = 0; j < 8; ++j) p[j] = static_cast<char>(units[k + j]);
        p += 8;
        k += 8;
        continue;
      }
    }
    for (; k < block_end; ++k) {
      const auto c = static_cast<char32_t>(units[k]);
      if (c < 0x80) {
        *p++ = static_cast<char>(c);
      } else if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF) return false;
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return true;
}

template <typename Unit>
std::size_t decode(std::string_view text, Unit* out) {
  Unit* p = out;
  for (std::size_t pos = 0; pos < text.size();) {
    const auto b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      *p++ = b;
      ++pos;
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
  buffer.resize(text.size() * width);
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

bool to_utf8(CodeUnits text, std::string& out) {
  switch (text.width) {
    case 1: return encode(static_cast<const std::uint8_t*>(text.data), text.length, out);
    case 2: return encode(static_cast<const std::uint16_t*>(text.data), text.length, out);
    default: return encode(static_cast<const std::uint32_t*>(text.data), text.length, out);
  }
}

}  // namespace zenkor
