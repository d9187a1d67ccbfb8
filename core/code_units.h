// Text as a Python str stores it: one, two or four bytes per character.
//
// The binding hands such text to the core as it is, so that a str is never
// asked for its UTF-8 form (which the interpreter would keep on the str for
// as long as the str lives); to_utf8 makes the engine's own copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zenkor {

struct CodeUnits {
  const void* data;
  std::size_t length;  // in characters
  unsigned width;      // bytes per character: 1, 2 or 4

  // Character k.  REQUIRES: k < length.
  [[nodiscard]] char32_t at(std::size_t k) const noexcept {
    switch (width) {
      case 1: return static_cast<const std::uint8_t*>(data)[k];
      case 2: return static_cast<const std::uint16_t*>(data)[k];
      default: return static_cast<const std::uint32_t*>(data)[k];
    }
  }
};

// The size of `text` in UTF-8, a surrogate counted as three bytes.
[[nodiscard]] std::size_t utf8_size(CodeUnits text) noexcept;

// Writes `text` as UTF-8 into `out` (cleared first).  False, `out`
// unspecified, when `text` holds a surrogate code point, which UTF-8 cannot
// encode.
[[nodiscard]] bool to_utf8(CodeUnits text, std::string& out);

// The code units of valid UTF-8 `text` as a str stores them, in the narrowest
// width that holds its characters (1 for Latin-1), written into `buffer`
// (cleared first), which the result points into; `max_char` is a character
// of the width's range that the text's largest character shares (127 for
// ASCII), as a str needs it at its creation.  So that the
// interpreter's part in making the result is one allocation and one copy.
struct WideText {
  CodeUnits units;
  char32_t max_char;
};
[[nodiscard]] WideText from_utf8(std::string_view text, std::string& buffer);

// Whether `a` and `b` hold the same characters, whatever their widths.
[[nodiscard]] bool same_characters(CodeUnits a, CodeUnits b) noexcept;

// `text` in the narrowest width that holds its characters, written into
// `buffer` (cleared first) as from_utf8 writes.  REQUIRES: no lone surrogate.
[[nodiscard]] WideText narrowest(CodeUnits text, std::string& buffer);

}  // namespace zenkor
