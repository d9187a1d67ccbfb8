// Character classes and code points that more than one stage names, defined
// once here: ASCII digits and letters, the kana letters, the offset between
// the hiragana and katakana blocks, the sound marks in their three forms and
// the marks that lengthen a vowel.
#pragma once

namespace zenkor::text {

// Also right for the bytes of UTF-8 text, which is why it takes char32_t: a
// byte of a multi-byte character is never an ASCII digit or letter.
[[nodiscard]] constexpr bool is_ascii_digit(char32_t c) noexcept { return c >= U'0' && c <= U'9'; }
[[nodiscard]] constexpr bool is_ascii_alnum(char32_t c) noexcept {
  return is_ascii_digit(c) || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
}
// What continues an identifier, a mention or a hashtag: letters, digits and "_".
[[nodiscard]] constexpr bool is_ascii_word(char32_t c) noexcept { return is_ascii_alnum(c) || c == U'_'; }

// ぁ-ゖ and ァ-ヺ: the letters of the two kana blocks, small ones included,
// without their iteration marks, the prolonged sound mark or ゟ and ヿ.
[[nodiscard]] constexpr bool is_hiragana_letter(char32_t c) noexcept { return c >= 0x3041 && c <= 0x3096; }
[[nodiscard]] constexpr bool is_katakana_letter(char32_t c) noexcept { return c >= 0x30A1 && c <= 0x30FA; }

// A hiragana letter plus this is its katakana counterpart (あ + 0x60 = ア).
inline constexpr char32_t KANA_OFFSET = 0x60;

// The voiced (゛) and semi-voiced (゜) sound marks: combining, spacing and halfwidth.
inline constexpr char32_t COMBINING_VOICED_MARK = 0x3099;
inline constexpr char32_t COMBINING_SEMI_VOICED_MARK = 0x309A;
inline constexpr char32_t SPACING_VOICED_MARK = 0x309B;
inline constexpr char32_t SPACING_SEMI_VOICED_MARK = 0x309C;
inline constexpr char32_t HALFWIDTH_VOICED_MARK = 0xFF9E;
inline constexpr char32_t HALFWIDTH_SEMI_VOICED_MARK = 0xFF9F;

inline constexpr char32_t PROLONGED_SOUND_MARK = 0x30FC;  // ー
inline constexpr char32_t WAVE_DASH = 0x301C;             // 〜

}  // namespace zenkor::text
