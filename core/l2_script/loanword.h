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

namespace zenkor::l2_script::loanword {

void unify_loanword_kana(std::string_view in, std::string& out);

void strip_trailing_prolonged(std::string_view in, std::string& out, std::size_t min_length);

}  // namespace zenkor::l2_script::loanword
