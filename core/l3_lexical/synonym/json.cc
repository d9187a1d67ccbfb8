#include "core/l3_lexical/synonym/json.h"

#include "core/utf8.h"

namespace zenkor::l3_lexical::synonym::json {

namespace {

constexpr bool is_json_space(char32_t c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr bool ends_bare_token(char32_t c) noexcept { return is_json_space(c) || c == ',' || c == '}' || c == ']'; }

constexpr int hex_value(char32_t c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// The character a one-letter escape stands for, or 0 for none.
constexpr char simple_escape(char32_t e) noexcept {
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

constexpr std::string_view kLoneHigh = "lone high surrogate in \\u escape";

// Decreases the depth when a container ends, successfully or not.
class DepthGuard {
 public:
  explicit DepthGuard(std::size_t& depth) noexcept : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  std::size_t& depth_;
};

}  // namespace

Parser::Parser(std::string_view text) : chars_(utf8::decode(text)) {}

void Parser::skip_whitespace() noexcept {
  while (pos_ < chars_.size() && is_json_space(chars_[pos_])) ++pos_;
}

std::optional<Error> Parser::parse_value(Value& out) {
  if (at_end()) return error_here("unexpected end of input");
  const char32_t c = chars_[pos_];
  if (c == '"') {
    out.kind = Value::Kind::Str;
    return parse_string(out.str);
  }
  if (c == '[' || c == '{') {
    if (depth_ == kMaxDepth) return error_here("nesting too deep");
    const DepthGuard guard(depth_);
    ++pos_;
    return c == '[' ? parse_array(out) : parse_object(out);
  }
  while (pos_ < chars_.size() && !ends_bare_token(chars_[pos_])) ++pos_;
  out.kind = Value::Kind::Scalar;
  return std::nullopt;
}

// Trailing commas are accepted: "]" may follow a ",".
std::optional<Error> Parser::parse_array(Value& out) {
  out.kind = Value::Kind::Array;
  for (;;) {
    skip_whitespace();
    if (next_is(']')) {
      ++pos_;
      return std::nullopt;
    }
    Value item;
    if (auto e = parse_value(item)) return e;
    out.items.push_back(std::move(item));
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

std::optional<Error> Parser::parse_object(Value& out) {
  out.kind = Value::Kind::Object;
  for (;;) {
    skip_whitespace();
    if (next_is('}')) {
      ++pos_;
      return std::nullopt;
    }
    std::string key;
    if (auto e = parse_string(key)) return e;
    skip_whitespace();
    if (!next_is(':')) return error_here("expected ':' after object key");
    ++pos_;
    skip_whitespace();
    Value value;
    if (auto e = parse_value(value)) return e;
    out.members.emplace_back(std::move(key), std::move(value));
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

std::optional<Error> Parser::parse_string(std::string& out) {
  if (!next_is('"')) return error_here("expected string");
  ++pos_;
  for (;;) {
    if (at_end()) return error_here("unterminated string");
    const char32_t c = chars_[pos_++];
    if (c == '"') return std::nullopt;
    if (c != '\\') {
      utf8::append(out, c);
      continue;
    }
    if (at_end()) return error_here("unterminated escape");
    const char32_t e = chars_[pos_++];
    if (e == 'u') {
      if (auto err = parse_unicode_escape(out)) return err;
    } else if (const char unescaped = simple_escape(e)) {
      out.push_back(unescaped);
    } else {
      return error_here("invalid escape sequence");
    }
  }
}

// After "\u": one code unit, or a UTF-16 surrogate pair written as two escapes.
std::optional<Error> Parser::parse_unicode_escape(std::string& out) {
  char32_t unit = 0;
  if (auto e = parse_hex4(unit)) return e;
  if (is_low_surrogate(unit)) return error_here("invalid \\u escape (lone surrogate)");
  if (!is_high_surrogate(unit)) {
    utf8::append(out, unit);
    return std::nullopt;
  }
  if (!next_is('\\')) return error_here(kLoneHigh);
  if (pos_ + 1 >= chars_.size() || chars_[pos_ + 1] != 'u') return error_here(kLoneHigh);
  pos_ += 2;
  char32_t low = 0;
  if (auto e = parse_hex4(low)) return e;
  if (!is_low_surrogate(low)) return error_here(kLoneHigh);
  utf8::append(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
  return std::nullopt;
}

std::optional<Error> Parser::parse_hex4(char32_t& out) {
  out = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = at_end() ? -1 : hex_value(chars_[pos_]);
    if (digit < 0) return error_here("expected 4 hex digits after \\u");
    out = (out << 4) | static_cast<char32_t>(digit);
    ++pos_;
  }
  return std::nullopt;
}

}  // namespace zenkor::l3_lexical::synonym::json
