#include "core/l1_char/quotes.h"

#include "core/utf8.h"

namespace zenkor::l1_char::quotes {
namespace {

constexpr bool is_single_quote(char32_t c) { return (c >= 0x2018 && c <= 0x201B) || c == 0xFF07; }

constexpr bool is_double_quote(char32_t c) { return (c >= 0x201C && c <= 0x201F) || c == 0xFF02; }

}  // namespace

void unify(std::string_view in, std::string& out) {
  utf8::Rewriter w(in, out);
  while (!w.done()) {
    w.skip_ascii();
    if (w.done()) break;
    const char32_t c = w.next();
    if (is_single_quote(c)) {
      w.replace(U'\'');
    } else if (is_double_quote(c)) {
      w.replace(U'"');
    }
  }
  w.finish();
}

}  // namespace zenkor::l1_char::quotes
