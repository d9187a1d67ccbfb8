// Reading dictionary files at the edges Python cannot reach cheaply: the
// size limit to the byte, for files and for streams that never end, with a
// small limit in place of the real 1 GiB.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "dict/text_file.h"
#include "tests/cpp/check.h"

namespace {

std::string temp_file(const std::string& content) {
  char name[] = "/tmp/zenkor-text-file-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) std::abort();
  ::close(fd);
  return name;
}

// The text read, or "error: " and the reason.
std::string read(const std::string& path, std::size_t max_bytes) {
  const auto result = zenkor::dict::text_file::read(path, max_bytes);
  if (!result.ok()) return "error: " + result.error().display();
  return std::string(result.value().view());
}

void test_limit_to_the_byte() {
  for (const std::size_t limit : {std::size_t{1}, std::size_t{100}, std::size_t{65535}, std::size_t{65536},
                                  std::size_t{200000}}) {
    const std::string at_limit(limit, 'a');
    const std::string path = temp_file(at_limit);
    CHECK(read(path, limit) == at_limit);
    CHECK(read(path, limit - 1) == "error: file is larger than " + std::to_string(limit - 1) + " bytes");
    std::remove(path.c_str());
  }
}

// Devices and pipes do not say their size: the reads stop one byte past the limit.
void test_streams_stop_past_the_limit() {
  CHECK(read("/dev/zero", 0) == "error: file is larger than 0 bytes");
  CHECK(read("/dev/zero", 100000) == "error: file is larger than 100000 bytes");
  CHECK(read("/dev/null", 0).empty());
}

void test_contents() {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string cases[][2] = {
      {"", ""},
      {bom, ""},
      {bom + bom + "x", bom + "x"},  // one mark is dropped, not every one
      {"a,b\r\n", "a,b\r\n"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\xE5\xB9", "error: stream did not contain valid UTF-8"},
      {bom + "\xFF", "error: stream did not contain valid UTF-8"},
  };
  for (const auto& [content, want] : cases) {
    const std::string path = temp_file(content);
    CHECK(read(path, 100) == want);
    std::remove(path.c_str());
  }
  CHECK(read("/nonexistent/zenkor", 100) == "error: No such file or directory (os error 2)");
  CHECK(read("/tmp", 100) == "error: Is a directory (os error 21)");
  CHECK(read(std::string("a\0b", 3), 100) == "error: path contains a NUL byte");
}

}  // namespace

int main() {
  test_limit_to_the_byte();
  test_streams_stop_past_the_limit();
  test_contents();
  return zenkor::test::finish();
}
