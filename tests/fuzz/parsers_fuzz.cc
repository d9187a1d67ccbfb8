// The dictionary text parsers on raw bytes: the first byte picks grouped
// JSON, lines cut at a comma, a tab or 、, or the Sudachi synonyms format;
// the rest, ill-formed UTF-8 replaced as the file reader would refuse it, is
// the text.  What must hold: errors are the documented ones and point inside
// the text, entries are well formed, and a copy of a dictionary (which
// compiles its own matcher) rewrites text as the original does.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "core/l3_lexical/synonym.h"
#include "core/text/utf8.h"
#include "core/text/utf8_validate.h"
#include "core/text/white_space.h"
#include "dict/sudachi.h"
#include "tests/fuzz/check.h"

namespace {

using zenkor::l3_lexical::synonym::LoadResult;
using zenkor::l3_lexical::synonym::SynonymDict;
using zenkor::l3_lexical::synonym::SynonymDictError;

// The messages the JSON reader may give, and no other.
constexpr std::array<std::string_view, 16> JSON_MESSAGES = {
    "unexpected end of input",
    "nesting too deep",
    "expected ',' or ']'",
    "expected ',' or '}'",
    "expected ':' after object key",
    "expected string",
    "unterminated string",
    "unterminated escape",
    "invalid escape sequence",
    "expected 4 hex digits after \\u",
    "lone high surrogate in \\u escape",
    "invalid \\u escape (lone surrogate)",
    "trailing characters after top-level value",
    "expected top-level object",
    "expected array of strings",
    "expected string in array",
};

std::size_t count_chars(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char b) { return !zenkor::text::utf8::is_continuation(static_cast<unsigned char>(b)); }));
}

std::size_t count_lines(std::string_view text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1; }

void check_dictionary(const SynonymDict& dict, std::string_view text, bool self_mappings_dropped) {
  for (const auto& entry : dict.entries()) {
    FUZZ_CHECK(!entry.variant.empty());
    FUZZ_CHECK(zenkor::text::utf8::is_valid(entry.variant) && zenkor::text::utf8::is_valid(entry.canonical));
    if (self_mappings_dropped) FUZZ_CHECK(entry.variant != entry.canonical);
  }
  std::string rewritten;
  dict.apply(text, rewritten);
  FUZZ_CHECK(zenkor::text::utf8::is_valid(rewritten));
  const SynonymDict copy = dict;
  std::string rewritten_by_copy;
  copy.apply(text, rewritten_by_copy);
  FUZZ_CHECK(rewritten_by_copy == rewritten);
}

void check_json(std::string_view text) {
  const LoadResult loaded = SynonymDict::from_json_grouped(text);
  if (!loaded.ok()) {
    const SynonymDictError& err = loaded.error();
    FUZZ_CHECK(err.kind == SynonymDictError::Kind::InvalidJson);
    FUZZ_CHECK(std::find(JSON_MESSAGES.begin(), JSON_MESSAGES.end(), err.message) != JSON_MESSAGES.end());
    FUZZ_CHECK(err.position <= count_chars(text));
    return;
  }
  check_dictionary(loaded.value(), text, true);
}

void check_delimited(std::string_view text, char32_t delimiter) {
  const LoadResult loaded = SynonymDict::from_delimited(text, delimiter);
  if (!loaded.ok()) {
    FUZZ_CHECK(loaded.error().kind == SynonymDictError::Kind::InvalidRow);
    FUZZ_CHECK(loaded.error().position >= 1 && loaded.error().position <= count_lines(text));
    return;
  }
  const auto& dict = loaded.value();
  for (const auto& entry : dict.entries()) {
    FUZZ_CHECK(entry.variant.find('\n') == std::string::npos && entry.canonical.find('\n') == std::string::npos);
    FUZZ_CHECK(zenkor::text::trim_white_space(entry.variant) == entry.variant);
  }
  check_dictionary(dict, text, false);
}

void check_sudachi(std::string_view text) {
  const auto loaded = zenkor::dict::sudachi::load_sudachi_synonyms(text);
  if (!loaded.ok()) {
    FUZZ_CHECK(loaded.error().line >= 1 && loaded.error().line <= count_lines(text));
    return;
  }
  check_dictionary(loaded.value(), text, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zenkor::fuzz::CpuBudget budget;
  if (size == 0) return 0;
  const std::string text = zenkor::fuzz::valid_text(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  switch (data[0] % 5) {
    case 0: check_json(text); break;
    case 1: check_delimited(text, U','); break;
    case 2: check_delimited(text, U'\t'); break;
    case 3: check_delimited(text, U'、'); break;
    default: check_sudachi(text); break;
  }
  return 0;
}
