// The small streaming JSON reader of the grouped dictionary format.
//
// It reads the UTF-8 text where it lies and tells a Visitor about each value
// as it reaches it, so a document is never copied to 4-byte characters nor
// held as a tree: the format above checks its shape and builds its entries
// while the text is read, and memory stays close to what the entries need.
// Errors are reported by character index (not byte offset), so messages point
// where an editor's cursor would; the index is counted only when there is an
// error.  It is deliberately lenient where leniency is harmless: trailing
// commas are accepted, and any unquoted token (numbers, true, null, or any
// other text) is read as an opaque scalar without checking its content.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/result.h"

namespace zenkor::l3_lexical::synonym::json {

// `pos` is a 0-based character index into the whole text.
struct Error {
  std::size_t pos;
  std::string_view msg;
};

// Containers that may be open at once.
inline constexpr std::size_t MAX_DEPTH = 64;

enum class Kind : unsigned char { Str, Array, Object, Scalar };

// Told about the document in document order.  `depth` is the number of
// containers around a value: 0 for the top-level value, 1 for the members or
// items of a top-level container, and so on.
class Visitor {
 public:
  virtual ~Visitor() = default;
  // A value starts.  For a Str, `text` holds it decoded, and the visitor may
  // move it away; for the other kinds it is empty.  The items or members of
  // an Array or Object follow at depth + 1.
  virtual void value(std::size_t depth, Kind kind, std::string& text) = 0;
  // A member name, read before its value, which follows at the same `depth`.
  virtual void member_name(std::size_t depth, std::string& name) = 0;
};

// Reads `text` as one JSON value, with JSON white space around it allowed,
// and returns the first error, if any.  The visitor has been told about
// everything before the error.
// REQUIRES: text is valid UTF-8.
[[nodiscard]] Result<void, Error> read(std::string_view text, Visitor& visitor);

}  // namespace zenkor::l3_lexical::synonym::json
