// Reading a dictionary file into memory as UTF-8 text.
//
// The loaders work on text in memory; this is the one place that opens
// files.  The descriptor belongs to an owning handle, so it is closed on every
// way out, memory exhaustion (std::bad_alloc) included.  Errors are values
// whose display() is the reason users see after "cannot read {path}: ".
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/result.h"

namespace zenkor::dict::text_file {

// Dictionaries are a few megabytes (the public Sudachi synonyms: 3 MB); a
// file past 1 GiB, or a device that never ends such as /dev/zero, is refused
// before it can take the machine's memory.
inline constexpr std::size_t MAX_BYTES = std::size_t{1} << 30;

struct ReadError {
  enum class Kind : unsigned char { Os, NulInPath, TooLarge, NotUtf8 };
  Kind kind;
  int os_code = 0;            // Os: the errno value
  std::size_t max_bytes = 0;  // TooLarge: the limit that was passed

  // "No such file or directory (os error 2)", "path contains a NUL byte",
  // "file is larger than 1073741824 bytes", "stream did not contain valid UTF-8".
  [[nodiscard]] std::string display() const;
};

// The text of a file.  It lives in a malloc'd block rather than a
// std::string: growing a block with realloc remaps pages instead of copying
// them and nothing is zero-filled first, which reads /dev/zero up to the
// limit in 0.5 s instead of 2.3 s.
class Text {
 public:
  Text() = default;
  [[nodiscard]] std::string_view view() const noexcept { return {data_.get() + start_, size_ - start_}; }

 private:
  friend Result<Text, ReadError> read(std::string_view path, std::size_t max_bytes);
  struct Free {
    void operator()(char* p) const noexcept { std::free(p); }
  };
  std::unique_ptr<char, Free> data_;
  std::size_t size_ = 0;
  std::size_t start_ = 0;  // past a byte-order mark
};

// The whole file at `path` (bytes as the system takes them) as UTF-8 text,
// without a leading byte-order mark.  Files of more than `max_bytes` bytes
// fail with TooLarge; at most max_bytes + 1 bytes are ever held.
// Throws only std::bad_alloc.
[[nodiscard]] Result<Text, ReadError> read(std::string_view path, std::size_t max_bytes = MAX_BYTES);

}  // namespace zenkor::dict::text_file
