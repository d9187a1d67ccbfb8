#include "core/l4_extra/emoji.h"

#include "core/utf8.h"

namespace zenkor::l4_extra::emoji {
namespace {

// The joiner, the variation selectors, regional indicators, skin tones and
// the pictographic blocks.  Signs that some platforms draw as emoji (©, ⭐,
// the keycap mark U+20E3, tag characters, ...) are deliberately not here.
constexpr bool is_emoji(char32_t c) {
  if (c < 0x200D) return false;
  return c == 0x200D ||                       // zero width joiner
         (c >= 0x2600 && c <= 0x27BF) ||      // miscellaneous symbols, dingbats
         (c >= 0xFE00 && c <= 0xFE0F) ||      // variation selectors
         (c >= 0x1F1E6 && c <= 0x1F1FF) ||    // regional indicators
         (c >= 0x1F300 && c <= 0x1F64F) ||    // pictographs, emoticons, skin tones
         (c >= 0x1F680 && c <= 0x1F6FF) ||    // transport and map symbols
         (c >= 0x1F900 && c <= 0x1F9FF) ||    // supplemental symbols and pictographs
         (c >= 0x1FA70 && c <= 0x1FAFF);      // symbols and pictographs extended-A
}

}  // namespace

void process(std::string_view in, std::string& out, const EmojiAction& action) {
  if (action.kind == EmojiAction::Kind::Keep) {
    out.assign(in);
    return;
  }
  const bool remove = action.kind == EmojiAction::Kind::Remove;
  utf8::Rewriter w(in, out);
  bool in_run = false;  // whether the previous INPUT code point was an emoji
  while (!w.done()) {
    if (w.skip_ascii()) in_run = false;
    if (w.done()) break;
    const char32_t c = w.next();
    const bool emoji = is_emoji(c);
    if (emoji) {
      if (remove || in_run) {
        w.drop();
      } else {
        w.replace(std::string_view(action.placeholder));
      }
    }
    in_run = emoji;
  }
  w.finish();
}

}  // namespace zenkor::l4_extra::emoji
