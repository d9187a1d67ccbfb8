// The small JSON reader of the grouped dictionary format.
//
// It reads exactly what that format needs and reports errors by character
// index (not byte offset), so messages point where an editor's cursor would.
// It is deliberately lenient where leniency is harmless: trailing commas are
// accepted, and any unquoted token (numbers, true, null, or any other text)
// is read as an opaque Scalar without checking its content.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zenkor::l3_lexical::synonym::json {

// A parsed value.  Only the member matching `kind` is meaningful.
struct Value {
  enum class Kind : unsigned char { Str, Array, Object, Scalar };
  Kind kind = Kind::Scalar;
  std::string str;                                   // Str
  std::vector<Value> items;                          // Array, in document order
  std::vector<std::pair<std::string, Value>> members;  // Object, in document order, duplicates kept
};

// `pos` is a 0-based character index into the whole text.
struct Error {
  std::size_t pos;
  std::string_view msg;
};

// Containers that may be open at once.
inline constexpr std::size_t kMaxDepth = 64;

class Parser {
 public:
  // REQUIRES: text is valid UTF-8.
  explicit Parser(std::string_view text);

  // Each parse operation reads at the current position and returns an error,
  // or nothing on success with the result in `out`.
  [[nodiscard]] std::optional<Error> parse_value(Value& out);
  [[nodiscard]] std::optional<Error> parse_string(std::string& out);
  [[nodiscard]] std::optional<Error> parse_hex4(char32_t& out);

  // Skips JSON white space: space, tab, line feed, carriage return.
  void skip_whitespace() noexcept;

  [[nodiscard]] bool at_end() const noexcept { return pos_ == chars_.size(); }
  [[nodiscard]] std::size_t pos() const noexcept { return pos_; }

 private:
  [[nodiscard]] std::optional<Error> parse_array(Value& out);
  [[nodiscard]] std::optional<Error> parse_object(Value& out);
  [[nodiscard]] std::optional<Error> parse_unicode_escape(std::string& out);
  [[nodiscard]] Error error_here(std::string_view msg) const noexcept { return {pos_, msg}; }
  [[nodiscard]] bool next_is(char32_t c) const noexcept { return pos_ < chars_.size() && chars_[pos_] == c; }

  std::u32string chars_;
  std::size_t pos_ = 0;
  std::size_t depth_ = 0;
};

}  // namespace zenkor::l3_lexical::synonym::json
