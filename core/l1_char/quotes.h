// Quotation marks: typographic and fullwidth quotes to the ASCII ones.
//
// ‘ ’ ‚ ‛ ＇ become ' and “ ” „ ‟ ＂ become ".  Corner brackets 「」『』 and
// the double prime quotation marks U+301D-U+301F are brackets, not quotes,
// and stay.
#pragma once

#include <string>
#include <string_view>

#include "core/edit_log.h"

namespace zenkor::l1_char::quotes {

void unify(std::string_view in, std::string& out, EditLog* log = nullptr);

// The characters without which unify leaves a text unchanged.
[[nodiscard]] bool unify_trigger(char32_t c) noexcept;

}  // namespace zenkor::l1_char::quotes
