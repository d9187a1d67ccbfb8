#include "core/l1_char/case.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/stringpiece.h>
#include <unicode/uchar.h>

#include <cstdint>
#include <limits>

#include "core/utf8.h"

namespace zenkor::l1_char::case_ {
namespace {

// The final-sigma rule looks past case-ignorable characters for a cased
// letter; a character that is neither stops it just as the end of the text does.
bool stops_case_context(char32_t c) {
  const auto cp = static_cast<UChar32>(c);
  return !u_hasBinaryProperty(cp, UCHAR_CASED) && !u_hasBinaryProperty(cp, UCHAR_CASE_IGNORABLE);
}

}  // namespace

void convert(std::string_view in, std::string& out, CaseAction action) {
  convert_in_pieces(in, out, action, std::numeric_limits<std::int32_t>::max());
}

void convert_in_pieces(std::string_view in, std::string& out, CaseAction action, std::size_t max_piece) {
  out.clear();
  if (action == CaseAction::Keep) {
    out.assign(in);
    return;
  }
  out.reserve(in.size());
  icu::StringByteSink<std::string> sink(&out);
  for (std::string_view rest = in; !rest.empty();) {
    const std::size_t length = utf8::piece_length(rest, max_piece, stops_case_context);
    const icu::StringPiece piece(rest.data(), static_cast<std::int32_t>(length));
    UErrorCode status = U_ZERO_ERROR;
    // The root locale "" gives the language-independent mappings, Final_Sigma included.
    if (action == CaseAction::Lower) {
      icu::CaseMap::utf8ToLower("", 0, piece, sink, nullptr, status);
    } else {
      icu::CaseMap::utf8ToUpper("", 0, piece, sink, nullptr, status);
    }
    // Valid UTF-8 can only fail here by running out of memory; leave the text as it was.
    if (U_FAILURE(status)) {
      out.assign(in);
      return;
    }
    rest.remove_prefix(length);
  }
}

bool convert_trigger(char32_t c, CaseAction action) noexcept {
  const auto cp = static_cast<UChar32>(c);
  return u_hasBinaryProperty(cp, action == CaseAction::Upper ? UCHAR_CHANGES_WHEN_UPPERCASED : UCHAR_CHANGES_WHEN_LOWERCASED);
}

}  // namespace zenkor::l1_char::case_
