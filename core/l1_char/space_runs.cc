#include "core/l1_char/space_runs.h"

#include "core/text/rewriter.h"

namespace zenkor::l1_char::space_runs {
namespace {

constexpr bool is_collapsible_space(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

template <typename Log>
void collapse_with_log(std::string_view in, std::string& out, Log& log) {
  text::Rewriter w(in, out, log);
  bool after_space = false;  // whether the previous INPUT code point was a space
  while (!w.done()) {
    const char32_t c = w.next();
    const bool space = is_collapsible_space(c);
    if (space && after_space) {
      w.drop();
    } else if (space && c != U' ') {
      w.replace(U' ');
    }
    after_space = space;
  }
  w.finish();
}

}  // namespace

void collapse(std::string_view in, std::string& out, EditLog* log) {
  with_log(log, [&](auto& l) { collapse_with_log(in, out, l); });
}

bool collapse_trigger(char32_t c) noexcept { return c == U'\t' || c == 0x3000; }

}  // namespace zenkor::l1_char::space_runs
