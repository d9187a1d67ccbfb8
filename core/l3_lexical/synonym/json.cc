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

using Done = Result<void, Error>;

constexpr std::string_view LONE_HIGH = "lone high surrogate in \\u escape";

// One pass of recursive descent over the bytes; `pos_` is a byte offset and
// always at a character boundary.  Every token that ends a construct is
// ASCII, and no byte of a multi-byte character is, so byte tests suffice.
class Reader {
 public:
  Reader(std::string_view text, Visitor& visitor) noexcept : text_(text), visitor_(visitor) {}

  Done document() {
    skip_whitespace();
    if (auto done = value(0); !done.ok()) return done;
    skip_whitespace();
    if (!at_end()) return error_here("trailing characters after top-level value");
    return {};
  }

 private:
  Done value(std::size_t depth) {
    if (at_end()) return error_here("unexpected end of input");
    const char c = text_[pos_];
    if (c == '"') {
      if (auto done = string(); !done.ok()) return done;
      visitor_.value(depth, Kind::Str, buffer_);
      return {};
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
    return {};
  }

  // After "[".  Trailing commas are accepted: "]" may follow a ",".
  Done array(std::size_t depth) {
    for (;;) {
      skip_whitespace();
      if (next_is(']')) {
        ++pos_;
        return {};
      }
      if (auto done = value(depth); !done.ok()) return done;
      skip_whitespace();
      if (next_is(',')) {
        ++pos_;
      } else if (next_is(']')) {
        ++pos_;
        return {};
      } else {
        return error_here("expected ',' or ']'");
      }
    }
  }

  // After "{".
  Done object(std::size_t depth) {
    for (;;) {
      skip_whitespace();
      if (next_is('}')) {
        ++pos_;
        return {};
      }
      if (auto done = string(); !done.ok()) return done;
      visitor_.member_name(depth, buffer_);
      skip_whitespace();
      if (!next_is(':')) return error_here("expected ':' after object key");
      ++pos_;
      skip_whitespace();
      if (auto done = value(depth); !done.ok()) return done;
      skip_whitespace();
      if (next_is(',')) {
        ++pos_;
      } else if (next_is('}')) {
        ++pos_;
        return {};
      } else {
        return error_here("expected ',' or '}'");
      }
    }
  }

  // Decodes the string at `pos_` into buffer_, copying runs without escapes whole.
  Done string() {
    std::string& out = buffer_;
    out.clear();
    if (!next_is('"')) return error_here("expected string");
    ++pos_;
    for (;;) {
      const std::size_t stop = std::min(text_.find_first_of("\"\\", pos_), text_.size());
      out.append(text_, pos_, stop - pos_);
      pos_ = stop;
      if (at_end()) return error_here("unterminated string");
      if (text_[pos_++] == '"') return {};
      if (at_end()) return error_here("unterminated escape");
      const char e = text_[pos_];
      if (e == 'u') {
        ++pos_;
        if (auto done = unicode_escape(); !done.ok()) return done;
      } else if (const char unescaped = simple_escape(e)) {
        ++pos_;
        out.push_back(unescaped);
      } else {
        (void)text::utf8::next(text_, pos_);  // the error points just after the whole character
        return error_here("invalid escape sequence");
      }
    }
  }

  // After "\u": one code unit, or a UTF-16 surrogate pair written as two
  // escapes, appended to buffer_.
  Done unicode_escape() {
    const Result<char32_t, Error> unit = hex4();
    if (!unit.ok()) return unit.error();
    if (is_low_surrogate(unit.value())) return error_here("invalid \\u escape (lone surrogate)");
    if (!is_high_surrogate(unit.value())) {
      text::utf8::append(buffer_, unit.value());
      return {};
    }
    if (!next_is('\\')) return error_here(LONE_HIGH);
    if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != 'u') return error_here(LONE_HIGH);
    pos_ += 2;
    const Result<char32_t, Error> low = hex4();
    if (!low.ok()) return low.error();
    if (!is_low_surrogate(low.value())) return error_here(LONE_HIGH);
    text::utf8::append(buffer_, 0x10000 + ((unit.value() - 0xD800) << 10) + (low.value() - 0xDC00));
    return {};
  }

  // The code unit of the four hex digits at `pos_`.
  Result<char32_t, Error> hex4() {
    char32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = at_end() ? -1 : hex_value(text_[pos_]);
      if (digit < 0) return error_here("expected 4 hex digits after \\u");
      unit = (unit << 4) | static_cast<char32_t>(digit);
      ++pos_;
    }
    return unit;
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

Result<void, Error> read(std::string_view text, Visitor& visitor) { return Reader(text, visitor).document(); }

}  // namespace zenkor::l3_lexical::synonym::json
