// Katakana spelling of loanwords.
//
// unify_loanword_kana folds variant spellings of foreign sounds onto one plain
// spelling: ヴァイオリン -> バイオリン, ウィ -> ウイ, ティ -> テイ, ヂ -> ジ.
// strip_trailing_prolonged drops one final ー from katakana words of at least
// `min_length` characters (the ー counted): コンピューター -> コンピュータ.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/edit_log.h"
#include "core/step.h"

namespace zenkor::l2_script::loanword {

void unify_loanword_kana(std::string_view in, std::string& out, EditLog* log = nullptr);

void strip_trailing_prolonged(std::string_view in, std::string& out, std::size_t min_length, EditLog* log = nullptr);

// What can make each stage above change a text.  unify_loanword_kana: a
// character for which unify_loanword_kana_trigger holds, or two in a row
// for which unify_loanword_kana_pair_trigger does.  strip_trailing_prolonged:
// a ー not followed by a character for which is_katakana_word_char holds.
[[nodiscard]] bool unify_loanword_kana_trigger(char32_t c) noexcept;
[[nodiscard]] bool unify_loanword_kana_pair_trigger(char32_t first, char32_t second) noexcept;
[[nodiscard]] bool is_katakana_word_char(char32_t c) noexcept;

// The rule of unify_loanword_kana at `c` followed by `next` (U+0000 at the
// end of the text): the characters written in place of `c`, or of both when
// `with_next` (a pair); none when `c` stays as it is.
struct Folded {
  std::u32string_view chars;
  bool with_next = false;
};
[[nodiscard]] Folded fold(char32_t c, char32_t next) noexcept;

// Katakana words shorter than this keep their final ー (カー, ビール).
inline constexpr std::size_t MIN_STRIPPED_WORD_LENGTH = 4;

// The steps.  Loanword spellings are folded while the text is still
// katakana, before kana conversion; a final ー goes after bars became ー
// and runs of them collapsed.
inline constexpr Step UNIFY_LOANWORD_KANA_STEP = {.rank = 250,
                                                  .run = run_stage<unify_loanword_kana>,
                                                  .trigger = trigger_of<unify_loanword_kana_trigger>,
                                                  .context = StepContext::LoanwordPair};
inline constexpr Step STRIP_TRAILING_PROLONGED_STEP = {
    .rank = 330,
    .run = [](const Config&, std::string_view in, std::string& out,
              EditLog* log) { strip_trailing_prolonged(in, out, MIN_STRIPPED_WORD_LENGTH, log); },
    .context = StepContext::TrailingProlonged,
    .deletes_in = IN_EVERY_VARIANT};

}  // namespace zenkor::l2_script::loanword
