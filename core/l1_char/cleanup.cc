#include "core/l1_char/cleanup.h"

#include "core/utf8.h"

namespace zenkor::l1_char::cleanup {
namespace {

[[nodiscard]] constexpr bool is_bidi_control(char32_t c) noexcept {
  return c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

[[nodiscard]] constexpr bool is_zero_width(char32_t c) noexcept {
  return c == 0x200B || c == 0x200C || c == 0x2060 || c == 0xFEFF;
}

[[nodiscard]] constexpr bool is_control(char32_t c) noexcept {
  return (c <= 0x1F && c != 0x09 && c != 0x0A) || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

void normalize_newlines(std::string_view in, std::string& out) {
  utf8::Rewriter w(in, out);
  while (!w.done()) {
    const char32_t c = w.next();
    if (c == 0x0D) {
      // Looks ahead in the input: a CR before LF goes, and the LF stays.
      if (!w.rest().empty() && w.rest().front() == '\n') {
        w.drop();
      } else {
        w.replace(U'\n');
      }
    } else if (c == 0x85 || c == 0x2028 || c == 0x2029) {
      w.replace(U'\n');
    }
  }
  w.finish();
}

void remove_bidi_control(std::string_view in, std::string& out) { utf8::drop_all<true>(in, out, is_bidi_control); }

void remove_zero_width(std::string_view in, std::string& out) { utf8::drop_all<true>(in, out, is_zero_width); }

void remove_control(std::string_view in, std::string& out) { utf8::drop_all<false>(in, out, is_control); }

}  // namespace zenkor::l1_char::cleanup
