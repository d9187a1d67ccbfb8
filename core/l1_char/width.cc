#include "core/l1_char/width.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/text/chars.h"
#include "core/text/rewriter.h"
#include "core/text/utf8.h"

namespace zenkor::l1_char::width {
namespace {

constexpr char32_t kFirstHalfwidth = 0xFF61;  // ｡
constexpr char32_t kLastHalfwidth = 0xFF9D;   // ﾝ

// The narrow decomposition of U+FF61..U+FF9D, indexed by code point - U+FF61.
// Generated, not edited by hand:
//   python3 -c "import unicodedata as u; print(', '.join('0x' + u.decomposition(chr(c)).split()[1] for c in range(0xFF61, 0xFF9E)))"
constexpr std::array<char16_t, 61> HALFWIDTH_TO_FULLWIDTH = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
    0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
    0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
    0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3,
};
static_assert(HALFWIDTH_TO_FULLWIDTH.size() == kLastHalfwidth - kFirstHalfwidth + 1);

struct Composition {
  char16_t base;
  char16_t composed;
};

// Fullwidth katakana + ﾞ, sorted by base.
constexpr std::array<Composition, 21> VOICED = {{
    {u'ウ', u'ヴ'}, {u'カ', u'ガ'}, {u'キ', u'ギ'}, {u'ク', u'グ'}, {u'ケ', u'ゲ'}, {u'コ', u'ゴ'},
    {u'サ', u'ザ'}, {u'シ', u'ジ'}, {u'ス', u'ズ'}, {u'セ', u'ゼ'}, {u'ソ', u'ゾ'}, {u'タ', u'ダ'},
    {u'チ', u'ヂ'}, {u'ツ', u'ヅ'}, {u'テ', u'デ'}, {u'ト', u'ド'}, {u'ハ', u'バ'}, {u'ヒ', u'ビ'},
    {u'フ', u'ブ'}, {u'ヘ', u'ベ'}, {u'ホ', u'ボ'},
}};

// Fullwidth katakana + ﾟ, sorted by base.
constexpr std::array<Composition, 5> SEMI_VOICED = {{
    {u'ハ', u'パ'}, {u'ヒ', u'ピ'}, {u'フ', u'プ'}, {u'ヘ', u'ペ'}, {u'ホ', u'ポ'},
}};

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
    if (c < kFirstHalfwidth || c > kLastHalfwidth) continue;
    const char32_t base = HALFWIDTH_TO_FULLWIDTH[c - kFirstHalfwidth];
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

bool halfwidth_kana_to_fullwidth_trigger(char32_t c) noexcept { return c >= kFirstHalfwidth && c <= kLastHalfwidth; }

}  // namespace zenkor::l1_char::width
