// Text as a Python str stores it: one, two or four bytes per character.
//
// The binding hands such text to the core as it is, so that a str is never
// asked for its UTF-8 form (which the interpreter would keep on the str for
// as long as the str lives); to_utf8 makes the engine's own copy.
#pragma once

#include <cstddef>
#include <string>

namespace zenkor {

struct CodeUnits {
  const void* data;
  std::size_t length;  // in characters
  unsigned width;      // bytes per character: 1, 2 or 4
};

// Writes `text` as UTF-8 into `out` (cleared first).  False, `out`
// unspecified, when `text` holds a surrogate code point, which UTF-8 cannot
// encode.
[[nodiscard]] bool to_utf8(CodeUnits text, std::string& out);

}  // namespace zenkor
