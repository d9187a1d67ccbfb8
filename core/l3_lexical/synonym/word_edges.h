// Where a whole-word entry may match.  Japanese text has no spaces between
// words, so a variant found by its characters alone is often the middle of
// another word: ガン in ルガンスク, media in mediation.  Runs of katakana and
// runs of Latin letters are the one kind of word whose extent the characters
// themselves show, so a whole-word match may not start or end inside one.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym {

// Katakana that continue a katakana word: the letters, ー, the iteration
// marks ヽ ヾ and the small letters of the phonetic extensions (ㇰ-ㇿ).  The
// middle dot ・ separates words and is not one of them.
[[nodiscard]] constexpr bool is_katakana_run_char(char32_t c) noexcept {
  return (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FC && c <= 0x30FE) || (c >= 0x31F0 && c <= 0x31FF);
}

// Latin letters: ASCII and full-width, and the accented letters of Latin-1
// and the Latin Extended blocks.
[[nodiscard]] constexpr bool is_latin_letter(char32_t c) noexcept {
  if ((c | 0x20) >= U'a' && (c | 0x20) <= U'z') return true;
  if ((c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) return true;
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;
  return c >= 0x1E00 && c <= 0x1EFF;
}

// True when `a` and `b`, side by side, belong to one run of either kind.
[[nodiscard]] constexpr bool same_run(char32_t a, char32_t b) noexcept {
  return (is_katakana_run_char(a) && is_katakana_run_char(b)) || (is_latin_letter(a) && is_latin_letter(b));
}

// True when byte `at` of `text` lies inside a run of either kind: the
// characters on both sides of it belong to one.
// REQUIRES: at <= text.size(), at a character boundary of valid UTF-8.
[[nodiscard]] inline bool cuts_a_run(std::string_view text, std::size_t at) noexcept {
  if (at == 0 || at == text.size()) return false;
  std::size_t before = at;
  std::size_t after = at;
  return same_run(text::utf8::prev(text, before), text::utf8::next(text, after));
}

// True when bytes [start, end) of `text` neither start nor end inside a run
// of katakana or of Latin letters.
// REQUIRES: start < end <= text.size(), both at character boundaries of valid UTF-8.
[[nodiscard]] inline bool keeps_words_whole(std::string_view text, std::size_t start, std::size_t end) noexcept {
  return !cuts_a_run(text, start) && !cuts_a_run(text, end);
}

}  // namespace zenkor::l3_lexical::synonym
