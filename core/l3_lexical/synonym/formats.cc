// The text formats a SynonymDict is read from (declared in synonym.h): one
// entry per delimited line, and JSON grouped by canonical form.  Both either
// return a whole dictionary or an error; nothing read before an error is kept.

#include <string>

#include "core/l3_lexical/synonym.h"
#include "core/l3_lexical/synonym/json.h"
#include "core/l3_lexical/synonym/lines.h"
#include "core/utf8.h"

namespace zenkor::l3_lexical::synonym {

std::string SynonymDictError::display() const {
  if (kind == Kind::InvalidRow) return "invalid row at line " + std::to_string(position);
  std::string text = "invalid json at char " + std::to_string(position) + ": ";
  text += message;
  return text;
}

LoadResult SynonymDict::from_delimited(std::string_view text, char32_t delimiter) {
  std::string delim;
  utf8::append(delim, delimiter);
  SynonymDict dict;
  std::size_t bad_line = 0;
  lines::for_each_entry_line(text, [&](std::size_t number, std::string_view line) {
    const std::size_t cut = line.find(delim);
    const std::string_view variant = cut == std::string_view::npos ? "" : utf8::trim_white_space(line.substr(0, cut));
    if (variant.empty()) {
      bad_line = number;
      return false;
    }
    dict.insert(std::string(variant), std::string(utf8::trim_white_space(line.substr(cut + delim.size()))));
    return true;
  });
  if (bad_line != 0) return SynonymDictError{SynonymDictError::Kind::InvalidRow, bad_line, {}};
  return dict;
}

LoadResult SynonymDict::from_json_grouped(std::string_view text) {
  const auto fail = [](std::size_t pos, std::string_view msg) {
    return SynonymDictError{SynonymDictError::Kind::InvalidJson, pos, msg};
  };
  json::Parser parser(text);
  json::Value root;
  parser.skip_whitespace();
  if (auto e = parser.parse_value(root)) return fail(e->pos, e->msg);
  parser.skip_whitespace();
  if (!parser.at_end()) return fail(parser.pos(), "trailing characters after top-level value");
  if (root.kind != json::Value::Kind::Object) return fail(0, "expected top-level object");

  SynonymDict dict;
  for (auto& [canonical, value] : root.members) {
    if (value.kind != json::Value::Kind::Array) return fail(0, "expected array of strings");
    for (json::Value& variant : value.items) {
      if (variant.kind != json::Value::Kind::Str) return fail(0, "expected string in array");
      if (variant.str != canonical) dict.insert(std::move(variant.str), canonical);
    }
  }
  return dict;
}

}  // namespace zenkor::l3_lexical::synonym
