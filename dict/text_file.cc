#include "dict/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>
#include <system_error>

#include "core/text/utf8_validate.h"

namespace zenkor::dict::text_file {

namespace {

// Owns an open descriptor and closes it when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const noexcept { return fd_; }

 private:
  int fd_;
};

ReadError os_error(int code) { return {ReadError::Kind::Os, code, 0}; }

}  // namespace

std::string ReadError::display() const {
  switch (kind) {
    case Kind::Os:
      return std::system_category().message(os_code) + " (os error " + std::to_string(os_code) + ")";
    case Kind::NulInPath:
      return "path contains a NUL byte";
    case Kind::TooLarge:
      return "file is larger than " + std::to_string(max_bytes) + " bytes";
    case Kind::NotUtf8:
      break;
  }
  return "stream did not contain valid UTF-8";
}

Result<Text, ReadError> read(std::string_view path, std::size_t max_bytes) {
  if (path.find('\0') != std::string_view::npos) return ReadError{ReadError::Kind::NulInPath};
  const Descriptor file(::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return os_error(errno);
  const ReadError too_large{ReadError::Kind::TooLarge, 0, max_bytes};

  // A regular file says its size: refuse a large one before reading, and
  // read the others into one block.  Devices, pipes and files that grow
  // meanwhile are caught by the cap on the reads below.
  struct stat info {};
  if (::fstat(file.get(), &info) < 0) return os_error(errno);
  std::size_t capacity = std::min(std::size_t{1} << 16, max_bytes + 1);
  if (S_ISREG(info.st_mode)) {
    if (static_cast<std::uintmax_t>(info.st_size) > max_bytes) return too_large;
    // + 1: room for the read that sees the end
    capacity = std::max(capacity, static_cast<std::size_t>(info.st_size) + 1);
  }
  Text text;
  const auto reserve = [&text](std::size_t bytes) {
    void* block = std::realloc(text.data_.get(), bytes);
    if (!block) throw std::bad_alloc();
    (void)text.data_.release();  // realloc has taken or freed it
    text.data_.reset(static_cast<char*>(block));
  };
  reserve(capacity);
  std::size_t size = 0;
  for (;;) {
    // Hold at most max_bytes + 1 bytes, the last one telling that the file
    // goes on; the block grows geometrically up to that bound.
    if (size > max_bytes) return too_large;
    if (size == capacity) {
      capacity = std::min(capacity * 2, max_bytes + 1);
      reserve(capacity);
    }
    const ssize_t n = ::read(file.get(), text.data_.get() + size, capacity - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return os_error(errno);
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  text.size_ = size;
  if (!text::utf8::is_valid(text.view())) return ReadError{ReadError::Kind::NotUtf8};
  // Spreadsheet programs save CSV with a byte-order mark; it is not text.
  if (text.view().starts_with("\xEF\xBB\xBF")) text.start_ = 3;
  return text;
}

}  // namespace zenkor::dict::text_file
