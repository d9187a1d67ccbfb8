// UTF-8 validation of long texts, 32 bytes at a time.
//
// utf8::is_valid checks a character at a time, about 2 GB/s on Japanese
// text; that is most of the cost of reading a column of Arrow strings, whose
// bytes come from outside and must be checked before any stage decodes them.
// is_valid_long checks the same property with AVX2 where the processor has
// it, ten times as fast, and falls back on utf8::is_valid elsewhere.  Short
// texts gain nothing from it: call it on a whole buffer, not value by value.
#pragma once

#include <string_view>

namespace zenkor::utf8 {

// Whether `s` is well-formed UTF-8: the same answer as utf8::is_valid.
[[nodiscard]] bool is_valid_long(std::string_view s) noexcept;

}  // namespace zenkor::utf8
