// Unicode Normalization Form KC, with two departures that keep Japanese text
// readable:
//
// - Characters whose compatibility decomposition would put a space into the
//   text (¨, ¯, ´, ￣, the Greek and Arabic spacing accents, ...) are copied
//   unchanged, and no composition or reordering reaches across them.
// - A voiced or semi-voiced sound mark in any of its three forms (combining,
//   spacing, halfwidth) joins the kana before it (か゛ -> が, ｶﾞ -> ガ);
//   anywhere else it comes out as the spacing mark ゛ or ゜, never as a space
//   followed by a combining mark.
#pragma once

#include <string>
#include <string_view>

namespace zenkor::l1_char::unicode {

void nfkc(std::string_view in, std::string& out);

}  // namespace zenkor::l1_char::unicode
