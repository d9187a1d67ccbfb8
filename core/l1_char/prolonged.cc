#include "core/l1_char/prolonged.h"

#include "core/text/chars.h"
#include "core/text/rewriter.h"

namespace zenkor::l1_char::prolonged {
namespace {

constexpr bool is_collapsible_mark(char32_t c) { return c == text::PROLONGED_SOUND_MARK || c == text::WAVE_DASH; }

template <typename Log>
void collapse_with_log(std::string_view in, std::string& out, Log& log) {
  text::Rewriter w(in, out, log);
  char32_t prev = 0;  // the previous INPUT code point
  while (!w.done()) {
    const char32_t c = w.next();
    if (c == prev && is_collapsible_mark(c)) w.drop();
    prev = c;
  }
  w.finish();
}

}  // namespace

void collapse(std::string_view in, std::string& out, EditLog* log) {
  with_log(log, [&](auto& l) { collapse_with_log(in, out, l); });
}

}  // namespace zenkor::l1_char::prolonged
