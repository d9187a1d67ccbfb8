// The text formats a SynonymDict is read from (declared in synonym.h): one
// entry per delimited line, and JSON grouped by canonical form.  Both either
// return a whole dictionary or an error; nothing read before an error is kept.

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "core/l3_lexical/synonym.h"
#include "core/l3_lexical/synonym/json.h"
#include "core/l3_lexical/synonym/lines.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"

namespace zenkor::l3_lexical::synonym {

std::string SynonymDictError::display() const {
  if (kind == Kind::InvalidRow) return "invalid row at line " + std::to_string(position);
  std::string text = "invalid json at char " + std::to_string(position) + ": ";
  text += message;
  return text;
}

LoadResult SynonymDict::from_delimited(std::string_view text, char32_t delimiter) {
  std::string delim;
  text::utf8::append(delim, delimiter);
  SynonymDict dict;
  std::size_t bad_line = 0;
  lines::for_each_entry_line(text, [&](std::size_t number, std::string_view line) {
    const std::size_t cut = line.find(delim);
    const std::string_view variant = cut == std::string_view::npos ? "" : text::trim_white_space(line.substr(0, cut));
    if (variant.empty()) {
      bad_line = number;
      return false;
    }
    dict.insert(std::string(variant), std::string(text::trim_white_space(line.substr(cut + delim.size()))));
    return true;
  });
  if (bad_line != 0) return SynonymDictError{SynonymDictError::Kind::InvalidRow, bad_line, {}};
  return dict;
}

namespace {

// Builds the grouped dictionary while the JSON is read: the top-level value
// must be an object, each member's value an array, each item a string.  A
// wrong shape is only noted (the first one, in document order), and the
// entries read so far are dropped: an error in the text itself, wherever it
// lies, is the one reported, so the reader still goes on to the end.
class GroupedReader final : public json::Visitor {
 public:
  void value(std::size_t depth, json::Kind kind, std::string& text) override {
    if (shape_error_) return;
    if (depth == 0 && kind != json::Kind::Object) return wrong_shape("expected top-level object");
    if (depth == 1 && kind != json::Kind::Array) return wrong_shape("expected array of strings");
    if (depth != 2) return;
    if (kind != json::Kind::Str) return wrong_shape("expected string in array");
    if (text != canonical_) dict_.insert(std::move(text), canonical_);
  }

  void member_name(std::size_t depth, std::string& name) override {
    if (depth == 1) canonical_ = name;
  }

  void reserve(std::size_t entries) { dict_.reserve(entries); }

  // The dictionary, or the shape error (reported at index 0).
  LoadResult finish() && {
    if (shape_error_) return SynonymDictError{SynonymDictError::Kind::InvalidJson, 0, *shape_error_};
    return std::move(dict_);
  }

 private:
  void wrong_shape(std::string_view msg) {
    shape_error_ = msg;
    dict_ = SynonymDict();
  }

  SynonymDict dict_;
  std::string canonical_;  // the name of the member being read
  std::optional<std::string_view> shape_error_;
};

}  // namespace

LoadResult SynonymDict::from_json_grouped(std::string_view text) {
  GroupedReader reader;
  // Every entry is one of the document's strings, so its quotes bound their
  // number: room for them all from the start.
  reader.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '"')) / 2);
  const auto read = json::read(text, reader);
  if (!read.ok()) return SynonymDictError{SynonymDictError::Kind::InvalidJson, read.error().pos, read.error().msg};
  return std::move(reader).finish();
}

}  // namespace zenkor::l3_lexical::synonym
