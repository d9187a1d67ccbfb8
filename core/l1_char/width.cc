#include "core/l1_char/width.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/l1_char/halfwidth_kana_table.h"
#include "core/text/chars.h"
#include "core/text/rewriter.h"
#include "core/text/utf8.h"

namespace zenkor::l1_char::width {
namespace {

static_assert(HALFWIDTH_TO_FULLWIDTH.size() == LAST_HALFWIDTH - FIRST_HALFWIDTH + 1);

template <std::size_t N>
constexpr bool strictly_ascending(const std::array<Composition, N>& table) {
  return std::adjacent_find(table.begin(), table.end(),
                            [](const Composition& a, const Composition& b) { return a.base >= b.base; }) ==
         table.end();
}
static_assert(strictly_ascending(VOICED), "VOICED must be strictly ascending");
static_assert(strictly_ascending(SEMI_VOICED), "SEMI_VOICED must be strictly ascending");

// The composed kana of `base` in `table`, or 0 when it has none.
template <std::size_t N>
[[nodiscard]] char32_t compose(const std::array<Composition, N>& table, char32_t base) noexcept {
  const auto* it = std::lower_bound(table.begin(), table.end(), base,
                                    [](const Composition& e, char32_t key) { return e.base < key; });
  return it != table.end() && it->base == base ? it->composed : 0;
}

// The composed kana of `base` followed by `mark`, or 0 when they do not compose.
[[nodiscard]] char32_t compose_with(char32_t base, char32_t mark) noexcept {
  if (mark == text::HALFWIDTH_VOICED_MARK) return compose(VOICED, base);
  if (mark == text::HALFWIDTH_SEMI_VOICED_MARK) return compose(SEMI_VOICED, base);
  return 0;
}

template <typename Log>
void halfwidth_kana_to_fullwidth_with_log(std::string_view in, std::string& out, Log& log) {
  // Each halfwidth character or pair (three bytes) becomes one three-byte
  // character, so the output never outgrows the input.
  text::Rewriter w(in, out, log);
  while (!w.done()) {
    // Every halfwidth katakana and mark is U+FF61..U+FF9F, lead byte 0xEF.
    w.skip_to_lead(0xEF);
    if (w.done()) break;
    const char32_t c = w.next();
    if (c < FIRST_HALFWIDTH || c > LAST_HALFWIDTH) continue;
    const char32_t base = HALFWIDTH_TO_FULLWIDTH[c - FIRST_HALFWIDTH];
    // Looks ahead in the input for a mark to join; a mark that does not
    // compose is read next round and stays as it is.
    std::size_t after = 0;
    const char32_t composed = w.rest().empty() ? 0 : compose_with(base, text::utf8::next(w.rest(), after));
    if (composed != 0) {
      (void)w.take_next();
      w.replace(composed);
    } else {
      w.replace(base);
    }
  }
  w.finish();
}

}  // namespace

void halfwidth_kana_to_fullwidth(std::string_view in, std::string& out, EditLog* log) {
  with_log(log, [&](auto& l) { halfwidth_kana_to_fullwidth_with_log(in, out, l); });
}

bool halfwidth_kana_to_fullwidth_trigger(char32_t c) noexcept { return c >= FIRST_HALFWIDTH && c <= LAST_HALFWIDTH; }

bool halfwidth_kana_to_fullwidth_alone(char32_t c) noexcept {
  if (!halfwidth_kana_to_fullwidth_trigger(c) || c == text::HALFWIDTH_VOICED_MARK ||
      c == text::HALFWIDTH_SEMI_VOICED_MARK) {
    return false;
  }
  const char32_t base = HALFWIDTH_TO_FULLWIDTH[c - FIRST_HALFWIDTH];
  return compose(VOICED, base) == 0 && compose(SEMI_VOICED, base) == 0;
}

}  // namespace zenkor::l1_char::width
