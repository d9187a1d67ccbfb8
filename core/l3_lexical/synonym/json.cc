#include "core/l3_lexical/synonym/json.h"

#include <algorithm>

#include "core/text/utf8.h"

namespace zenkor::l3_lexical::synonym::json {

namespace {

constexpr bool is_json_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr bool ends_bare_token(char c) noexcept { return is_json_space(c) || c == ',' || c == '}' || c == ']'; }

constexpr int hex_value(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character a one-letter escape stands for, or 0 for none.
constexpr char simple_escape(char e) noexcept {
  switch (e) {
    case '"': return '"';
    case '/': return '/';
    case '\\': return '\\';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return 0;
  }
}

constexpr bool is_high_surrogate(char32_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool is_low_surrogate(char32_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr std::string_view LONE_HIGH = "lone high surrogate in \\u escape";

// One pass of recursive descent over the bytes; `pos_` is a byte offset and
// always at a character boundary.  Every token that ends a construct is
// ASCII, and no byte of a multi-byte character is, so byte tests suffice.
class Reader {
 public:
  Reader(std::string_view text, Visitor& visitor) noexcept : text_(text), visitor_(visitor) {}

  std::optional<Error> document() {
    skip_whitespace();
    if (auto e = value(0)) return e;
    skip_whitespace();
    if (!at_end()) return error_here("trailing characters after top-level value");
    return std::nullopt;
  }

 private:
  std::optional<Error> value(std::size_t depth) {
    if (at_end()) return error_here("unexpected end of input");
    const char c = text_[pos_];
    if (c == '"') {
      if (auto e = string(buffer_)) return e;
      visitor_.value(depth, Kind::Str, buffer_);
      return std::nullopt;
    }
    buffer_.clear();
    if (c == '[' || c == '{') {
      if (depth == MAX_DEPTH) return error_here("nesting too deep");
      ++pos_;
      visitor_.value(depth, c == '[' ? Kind::Array : Kind::Object, buffer_);
      return c == '[' ? array(depth + 1) : object(depth + 1);
    }
    while (!at_end() && !ends_bare_token(text_[pos_])) ++pos_;
    visitor_.value(depth, Kind::Scalar, buffer_);
    return std::nullopt;
  }

  // After "[".  Trailing commas are accepted: "]" may follow a ",".
  std::optional<Error> array(std::size_t depth) {
    for (;;) {
      skip_whitespace();
      if (next_is(']')) {
        ++pos_;
        return std::nullopt;
      }
      if (auto e = value(depth)) return e;
      skip_whitespace();
      if (next_is(',')) {
        ++pos_;
      } else if (next_is(']')) {
        ++pos_;
        return std::nullopt;
      } else {
        return error_here("expected ',' or ']'");
      }
    }
  }

  // After "{".
  std::optional<Error> object(std::size_t depth) {
    for (;;) {
      skip_whitespace();
      if (next_is('}')) {
        ++pos_;
        return std::nullopt;
      }
      if (auto e = string(buffer_)) return e;
      visitor_.member_name(depth, buffer_);
      skip_whitespace();
      if (!next_is(':')) return error_here("expected ':' after object key");
      ++pos_;
      skip_whitespace();
      if (auto e = value(depth)) return e;
      skip_whitespace();
      if (next_is(',')) {
        ++pos_;
      } else if (next_is('}')) {
        ++pos_;
        return std::nullopt;
      } else {
        return error_here("expected ',' or '}'");
      }
    }
  }

  // Decodes the string at `pos_` into `out`, copying runs without escapes whole.
  std::optional<Error> string(std::string& out) {
    out.clear();
    if (!next_is('"')) return error_here("expected string");
    ++pos_;
    for (;;) {
      const std::size_t stop = std::min(text_.find_first_of("\"\\", pos_), text_.size());
      out.append(text_, pos_, stop - pos_);
      pos_ = stop;
      if (at_end()) return error_here("unterminated string");
      if (text_[pos_++] == '"') return std::nullopt;
      if (at_end()) return error_here("unterminated escape");
      const char e = text_[pos_];
      if (e == 'u') {
        ++pos_;
        if (auto err = unicode_escape(out)) return err;
      } else if (const char unescaped = simple_escape(e)) {
        ++pos_;
        out.push_back(unescaped);
      } else {
        (void)text::utf8::next(text_, pos_);  // the error points just after the whole character
        return error_here("invalid escape sequence");
      }
    }
  }

  // After "\u": one code unit, or a UTF-16 surrogate pair written as two escapes.
  std::optional<Error> unicode_escape(std::string& out) {
    char32_t unit = 0;
    if (auto e = hex4(unit)) return e;
    if (is_low_surrogate(unit)) return error_here("invalid \\u escape (lone surrogate)");
    if (!is_high_surrogate(unit)) {
      text::utf8::append(out, unit);
      return std::nullopt;
    }
    if (!next_is('\\')) return error_here(LONE_HIGH);
    if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != 'u') return error_here(LONE_HIGH);
    pos_ += 2;
    char32_t low = 0;
    if (auto e = hex4(low)) return e;
    if (!is_low_surrogate(low)) return error_here(LONE_HIGH);
    text::utf8::append(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    return std::nullopt;
  }

  std::optional<Error> hex4(char32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = at_end() ? -1 : hex_value(text_[pos_]);
      if (digit < 0) return error_here("expected 4 hex digits after \\u");
      out = (out << 4) | static_cast<char32_t>(digit);
      ++pos_;
    }
    return std::nullopt;
  }

  void skip_whitespace() noexcept {
    while (!at_end() && is_json_space(text_[pos_])) ++pos_;
  }

  [[nodiscard]] bool at_end() const noexcept { return pos_ == text_.size(); }
  [[nodiscard]] bool next_is(char c) const noexcept { return !at_end() && text_[pos_] == c; }

  // The character index of `pos_`: the number of characters that start before it.
  [[nodiscard]] Error error_here(std::string_view msg) const noexcept {
    const auto starts = std::count_if(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(pos_), [](char b) {
      return !text::utf8::is_continuation(static_cast<unsigned char>(b));
    });
    return {static_cast<std::size_t>(starts), msg};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Visitor& visitor_;
  std::string buffer_;  // the string being read, handed to the visitor
};

}  // namespace

std::optional<Error> read(std::string_view text, Visitor& visitor) { return Reader(text, visitor).document(); }

}  // namespace zenkor::l3_lexical::synonym::json
