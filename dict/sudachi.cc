#include "dict/sudachi.h"

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/l3_lexical/synonym/lines.h"
#include "core/text/white_space.h"

namespace zenkor::dict::sudachi {

namespace {

using l3_lexical::synonym::SynonymDict;

// Fields used, counted from 0; a data line needs at least 9.
constexpr std::size_t GROUP_FIELD = 0;
constexpr std::size_t FORM_TYPE_FIELD = 4;     // 0: representative form of the lexeme
constexpr std::size_t VARIANT_TYPE_FIELD = 6;  // 0: representative spelling of the form
constexpr std::size_t HEADWORD_FIELD = 8;
constexpr std::size_t FIELDS_NEEDED = 9;

struct Group {
  std::vector<std::string> words;  // file order, duplicates kept
  std::optional<std::string> canonical;
};

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
  std::vector<Group> groups;  // in order of first appearance
  std::unordered_map<std::string_view, std::size_t> group_index;  // keys view into `text`
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
    if (group_key.empty() || headword.empty()) return true;

    const auto [it, added] = group_index.try_emplace(group_key, groups.size());
    if (added) groups.emplace_back();
    Group& group = groups[it->second];
    if (!group.canonical && read_type(fields[FORM_TYPE_FIELD]) == 0 && read_type(fields[VARIANT_TYPE_FIELD]) == 0) {
      group.canonical.emplace(headword);
    }
    group.words.emplace_back(headword);
    return true;
  });
  if (bad_line != 0) return SudachiParseError{bad_line};

  SynonymDict dict;
  for (Group& group : groups) {
    const std::string canonical = group.canonical ? *group.canonical : group.words.front();
    for (std::string& word : group.words) {
      if (word != canonical) dict.insert(std::move(word), canonical);
    }
  }
  return dict;
}

}  // namespace zenkor::dict::sudachi
