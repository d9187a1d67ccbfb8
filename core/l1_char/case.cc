#include "core/l1_char/case.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/stringpiece.h>

namespace zenkor::l1_char::case_ {

void convert(std::string_view in, std::string& out, CaseAction action) {
  out.clear();
  if (action == CaseAction::Keep) {
    out.assign(in);
    return;
  }
  out.reserve(in.size());
  icu::StringByteSink<std::string> sink(&out);
  const icu::StringPiece text(in.data(), static_cast<int32_t>(in.size()));
  UErrorCode status = U_ZERO_ERROR;
  // The root locale "" gives the language-independent mappings, Final_Sigma included.
  if (action == CaseAction::Lower) {
    icu::CaseMap::utf8ToLower("", 0, text, sink, nullptr, status);
  } else {
    icu::CaseMap::utf8ToUpper("", 0, text, sink, nullptr, status);
  }
  // Valid UTF-8 can only fail here by running out of memory; leave the text as it was.
  if (U_FAILURE(status)) out.assign(in);
}

}  // namespace zenkor::l1_char::case_
