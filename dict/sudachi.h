// Reader of the public Sudachi synonym dictionary (synonyms.txt).
//
// The file is comma separated, one headword per line.  Lines sharing a group
// number hold related words; within a group, lines sharing a lexeme number
// are spellings and forms of one word (月曜日 and 月 share a group, not a
// lexeme).  So each lexeme, not each group, has one canonical form: its first
// headword that is the representative form and spelling, or failing that its
// first headword.  The expansion flag says how a headword may be used: 0 as
// a variant, 1 only as a target (月, 影響: never rewritten into another
// word), 2 not at all (rows kept for history); rows flagged 2 are skipped.
//
// A headword with flag 0 becomes a variant of its lexeme's canonical form
// unless it is a single character or fewer than four hiragana: such strings
// occur inside other words far more often than as the word itself (うに in
// ようになった, かに in 明らかになった).  Lexemes are expanded in the order of
// their first line, so when a headword is a variant in several lexemes, the
// one that appears last in the file decides its canonical form.
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
