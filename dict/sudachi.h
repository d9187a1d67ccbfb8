// Reader of the public Sudachi synonym dictionary (synonyms.txt).
//
// The file is comma separated, one headword per line; lines sharing a group
// number are synonyms.  Each group becomes entries mapping every other
// headword to the group's canonical one: the first headword that is the
// representative form of its lexeme and its representative spelling, or
// failing that the group's first headword.  Groups are expanded in the order
// of their first line, so when a headword belongs to several groups, the
// group that appears last in the file decides its canonical form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/l3_lexical/synonym.h"
#include "core/result.h"

namespace zenkor::dict::sudachi {

struct SudachiParseError {
  std::size_t line;  // 1-based line with fewer than 9 fields and no comma at all

  [[nodiscard]] std::string display() const;
};

// REQUIRES: text is valid UTF-8.  No I/O.
[[nodiscard]] Result<l3_lexical::synonym::SynonymDict, SudachiParseError> load_sudachi_synonyms(std::string_view text);

}  // namespace zenkor::dict::sudachi
