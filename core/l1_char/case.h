// Letter case of the whole text, by the full default Unicode case mappings.
//
// Lower maps İ to i + U+0307 and a word-final Σ to ς; Upper maps ß to SS and
// ﬁ to FI; Keep copies.  Kana, kanji and other uncased characters stay.
// `case` is a C++ keyword, hence the trailing underscore of the namespace.
#pragma once

#include <string>
#include <string_view>

#include "core/config.h"

namespace zenkor::l1_char::case_ {

void convert(std::string_view in, std::string& out, CaseAction action);

}  // namespace zenkor::l1_char::case_
