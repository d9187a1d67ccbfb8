#include "core/l2_script/iteration.h"

#include <algorithm>
#include <array>
#include <functional>

#include "core/text/chars.h"
#include "core/text/utf8.h"

namespace zenkor::l2_script::iteration {
namespace {

// Hiragana whose voiced form is the next code point; katakana are these plus
// text::KANA_OFFSET.  Source: the Hiragana block of the Unicode Standard.
constexpr std::array<char32_t, 20> VOICEABLE = {U'か', U'き', U'く', U'け', U'こ', U'さ', U'し',
                                                U'す', U'せ', U'そ', U'た', U'ち', U'つ', U'て',
                                                U'と', U'は', U'ひ', U'ふ', U'へ', U'ほ'};
static_assert(std::adjacent_find(VOICEABLE.begin(), VOICEABLE.end(), std::greater_equal<>()) == VOICEABLE.end());

// The は row, whose semi-voiced forms are two code points up.
constexpr std::array<char32_t, 5> SEMI_VOICEABLE = {U'は', U'ひ', U'ふ', U'へ', U'ほ'};

bool is_kanji(char32_t c) noexcept {
  return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0x20000 && c <= 0x2FFFF);
}

// The hiragana counterpart of a katakana letter, anything else unchanged.
char32_t as_hiragana(char32_t c) noexcept { return c >= U'ァ' && c <= U'ヶ' ? c - text::KANA_OFFSET : c; }

bool is_voiceable(char32_t c) noexcept {
  return std::binary_search(VOICEABLE.begin(), VOICEABLE.end(), as_hiragana(c));
}

bool is_semi_voiceable(char32_t c) noexcept {
  return std::binary_search(SEMI_VOICEABLE.begin(), SEMI_VOICEABLE.end(), as_hiragana(c));
}

// The voiced form a ゞ or ヾ after `prev` writes, or the mark itself.
char32_t voiced_repeat(char32_t prev, char32_t mark) noexcept {
  const char32_t base = unvoice(prev);
  if (is_voiceable(base)) return base + 1;
  if (base == U'う') return U'ゔ';
  if (base == U'ウ') return U'ヴ';
  return mark;
}

bool is_mark(char32_t c) noexcept {
  return c == U'々' || c == U'〻' || c == U'ゝ' || c == U'ゞ' || c == U'ヽ' || c == U'ヾ';
}

// Whether the kana mark `c` is the arm of a kaomoji: ゝ ゞ ヽ ヾ right before
// an opening parenthesis (ヽ(；▽；)ノ, ヾ(＾∇＾)) are among the commonest
// kaomoji, and a repeat is never written there.  `next` is the input
// character after the mark, in the text as this stage receives it: with
// nfkc on, "（" has already become "(" by then, and without it "（" is met as
// written.
bool is_kaomoji_arm(char32_t c, char32_t next) noexcept {
  const bool kana_mark = c == U'ゝ' || c == U'ゞ' || c == U'ヽ' || c == U'ヾ';
  return kana_mark && (next == U'(' || next == U'（');
}

// What iteration mark `c` stands for after `prev`, or `c` when it is not a
// mark or cannot repeat `prev`.
char32_t expand(char32_t prev, char32_t c) noexcept {
  switch (c) {
    case U'々':
    case U'〻':
      return is_kanji(prev) ? prev : c;
    case U'ゝ':
      return text::is_hiragana_letter(prev) ? unvoice(prev) : c;
    case U'ヽ':
      return text::is_katakana_letter(prev) ? unvoice(prev) : c;
    case U'ゞ':
      return text::is_hiragana_letter(prev) ? voiced_repeat(prev, c) : c;
    case U'ヾ':
      return text::is_katakana_letter(prev) ? voiced_repeat(prev, c) : c;
    default:
      return c;
  }
}

}  // namespace

char32_t expand_mark(char32_t prev, char32_t mark, char32_t next) noexcept {
  return is_kaomoji_arm(mark, next) ? mark : expand(prev, mark);
}

char32_t unvoice(char32_t c) noexcept {
  if (c == U'ゔ') return U'う';
  if (c == U'ヴ') return U'ウ';
  if (is_voiceable(c - 1)) return c - 1;
  if (is_semi_voiceable(c - 2)) return c - 2;
  return c;
}

void expand_iteration_marks(std::string_view in, std::string& out, EditLog* log) {
  out.clear();
  out.reserve(in.size());
  std::size_t copied = 0;  // in[0, copied) is already in `out`
  // A mark repeats the last character written to the output, so a chain of
  // marks repeats one character (時々々 -> 時時時): right after a mark that
  // is what the mark was written as, elsewhere the input character before.
  std::size_t mark_end = 0;
  char32_t mark_written = 0;  // U+0000 (nothing to repeat) at the start
  // Every mark takes three bytes; only those characters are decoded:
  // 7.3 ms -> 3.2 ms over the corpus.
  for (std::size_t pos = text::utf8::next_three_byte(in, 0); pos < in.size();
       pos = text::utf8::next_three_byte(in, pos)) {
    const std::size_t start = pos;
    const char32_t c = text::utf8::next(in, pos);
    if (!is_mark(c)) continue;
    std::size_t before = start;
    const char32_t prev = start == mark_end ? mark_written : text::utf8::prev(in, before);
    std::size_t after = pos;
    const char32_t written = expand_mark(prev, c, pos < in.size() ? text::utf8::next(in, after) : U'\0');
    if (written != c) {
      out.append(in, copied, start - copied);
      const std::size_t at = out.size();
      text::utf8::append(out, written);
      if (log != nullptr) log->replace(start, pos, at, out.size());
      copied = pos;
    }
    mark_end = pos;
    mark_written = written;
  }
  out.append(in, copied);
}

bool expand_iteration_marks_trigger(char32_t c) noexcept { return is_mark(c); }

}  // namespace zenkor::l2_script::iteration
