#include "core/l1_char/cleanup.h"

#include <optional>
#include <utility>

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

// Replacement that deletes a character.
constexpr std::optional<std::string_view> kDelete = std::string_view{};

}  // namespace

void normalize_newlines(std::string_view in, std::string& out) {
  out.reserve(in.size());
  // Looks back at the input: the LF of a CR LF pair was already written by its CR.
  bool after_cr = false;
  utf8::map_chars<utf8::Ascii::MayChange>(in, out, [&after_cr](char32_t c) -> std::optional<std::string_view> {
    const bool was_after_cr = std::exchange(after_cr, c == 0x0D);
    if (c == 0x0A && was_after_cr) return kDelete;
    if (c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029) return "\n";
    return std::nullopt;
  });
}

void remove_bidi_control(std::string_view in, std::string& out) {
  utf8::map_chars<utf8::Ascii::Unchanged>(in, out, [](char32_t c) { return is_bidi_control(c) ? kDelete : std::nullopt; });
}

void remove_zero_width(std::string_view in, std::string& out) {
  utf8::map_chars<utf8::Ascii::Unchanged>(in, out, [](char32_t c) { return is_zero_width(c) ? kDelete : std::nullopt; });
}

void remove_control(std::string_view in, std::string& out) {
  utf8::map_chars<utf8::Ascii::MayChange>(in, out, [](char32_t c) { return is_control(c) ? kDelete : std::nullopt; });
}

}  // namespace zenkor::l1_char::cleanup
