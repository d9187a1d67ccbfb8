#include "dict/sudachi.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/l3_lexical/synonym/lines.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"

namespace zenkor::dict::sudachi {

namespace {

using l3_lexical::synonym::SynonymDict;

// Fields used, counted from 0; a data line needs at least 9.
constexpr std::size_t GROUP_FIELD = 0;
constexpr std::size_t EXPANSION_FIELD = 2;     // 0: a variant; 1: a target only; 2: not used
constexpr std::size_t LEXEME_FIELD = 3;        // the word within the group
constexpr std::size_t FORM_TYPE_FIELD = 4;     // 0: representative form of the lexeme
constexpr std::size_t VARIANT_TYPE_FIELD = 6;  // 0: representative spelling of the form
constexpr std::size_t HEADWORD_FIELD = 8;
constexpr std::size_t FIELDS_NEEDED = 9;

constexpr std::uint8_t EXPANDS = 0;
constexpr std::uint8_t NEVER_USED = 2;

// Hiragana words shorter than this are not variants (see sudachi.h).
constexpr std::size_t SHORTEST_HIRAGANA_VARIANT = 4;

struct Headword {
  std::string word;
  bool expands;  // flag 0
};

struct Lexeme {
  std::vector<Headword> words;  // file order, duplicates kept
  std::optional<std::string> canonical;
};

// Hiragana letters and marks (U+3041-U+309F) and ー.
bool is_hiragana_word_char(char32_t c) { return (c >= 0x3041 && c <= 0x309F) || c == 0x30FC; }

// Whether `word` may be matched as a variant wherever its characters occur.
bool stands_alone(std::string_view word) {
  std::size_t length = 0;
  bool all_hiragana = true;
  for (std::size_t pos = 0; pos < word.size(); ++length) {
    const char32_t c = text::utf8::next(word, pos);
    all_hiragana = all_hiragana && is_hiragana_word_char(c);
  }
  return length > 1 && !(all_hiragana && length < SHORTEST_HIRAGANA_VARIANT);
}

// A decimal 0-255 with an optional "+"; anything else reads as 0.
std::uint8_t read_type(std::string_view field) {
  field = text::trim_white_space(field);
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  if (field.empty()) return 0;
  unsigned value = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 255) return 0;
  }
  return static_cast<std::uint8_t>(value);
}

// Drops one pair of enclosing parentheses, ASCII or full-width.
std::string_view strip_parentheses(std::string_view word) {
  constexpr std::string_view FULLWIDTH_OPEN = "\xEF\xBC\x88";   // （
  constexpr std::string_view FULLWIDTH_CLOSE = "\xEF\xBC\x89";  // ）
  if (word.size() > 1 && word.front() == '(' && word.back() == ')') return word.substr(1, word.size() - 2);
  if (word.size() >= FULLWIDTH_OPEN.size() + FULLWIDTH_CLOSE.size() && word.starts_with(FULLWIDTH_OPEN) &&
      word.ends_with(FULLWIDTH_CLOSE)) {
    return word.substr(FULLWIDTH_OPEN.size(), word.size() - FULLWIDTH_OPEN.size() - FULLWIDTH_CLOSE.size());
  }
  return word;
}

}  // namespace

std::string SudachiParseError::display() const {
  return "sudachi synonyms: too few columns at line " + std::to_string(line);
}

Result<SynonymDict, SudachiParseError> load_sudachi_synonyms(std::string_view text) {
  std::vector<Lexeme> lexemes;  // in order of first appearance
  // Keys: the group number, a comma, the lexeme number.
  std::unordered_map<std::string, std::size_t> lexeme_index;
  std::size_t bad_line = 0;

  l3_lexical::synonym::lines::for_each_entry_line(text, [&](std::size_t number, std::string_view line) {
    std::array<std::string_view, FIELDS_NEEDED> fields;
    std::size_t count = 0;
    for (std::size_t start = 0; count < FIELDS_NEEDED; ++count) {
      const std::size_t comma = line.find(',', start);
      fields[count] = line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
      if (comma == std::string_view::npos) {
        ++count;
        break;
      }
      start = comma + 1;
    }
    if (count < FIELDS_NEEDED) {
      if (line.find(',') != std::string_view::npos) return true;  // an incomplete row
      bad_line = number;
      return false;
    }
    const std::string_view group_key = text::trim_white_space(fields[GROUP_FIELD]);
    const std::string_view headword = strip_parentheses(text::trim_white_space(fields[HEADWORD_FIELD]));
    const std::uint8_t expansion = read_type(fields[EXPANSION_FIELD]);
    if (group_key.empty() || headword.empty() || expansion == NEVER_USED) return true;

    // A comma cannot be part of either number, so it keeps the keys apart.
    std::string key(group_key);
    key += ',';
    key += text::trim_white_space(fields[LEXEME_FIELD]);
    const auto [it, added] = lexeme_index.try_emplace(std::move(key), lexemes.size());
    if (added) lexemes.emplace_back();
    Lexeme& lexeme = lexemes[it->second];
    if (!lexeme.canonical && read_type(fields[FORM_TYPE_FIELD]) == 0 && read_type(fields[VARIANT_TYPE_FIELD]) == 0) {
      lexeme.canonical.emplace(headword);
    }
    lexeme.words.push_back({std::string(headword), expansion == EXPANDS});
    return true;
  });
  if (bad_line != 0) return SudachiParseError{bad_line};

  SynonymDict dict;
  for (Lexeme& lexeme : lexemes) {
    const std::string canonical = lexeme.canonical ? *lexeme.canonical : lexeme.words.front().word;
    for (Headword& headword : lexeme.words) {
      if (headword.expands && headword.word != canonical && stands_alone(headword.word)) {
        dict.insert(std::move(headword.word), canonical);
      }
    }
  }
  return dict;
}

}  // namespace zenkor::dict::sudachi
