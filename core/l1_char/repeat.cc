#include "core/l1_char/repeat.h"

#include <algorithm>
#include <array>

#include "core/utf8.h"

namespace zenkor::l1_char::repeat {
namespace {

// ( ) . < > [ ] { }, 〈 〉 《 》 「 」 『 』 【 】 and （ ） ［ ］ ｛ ｝.
constexpr std::array<char32_t, 25> kExemptMarks = {
    0x0028, 0x0029, 0x002E, 0x003C, 0x003E, 0x005B, 0x005D, 0x007B, 0x007D, 0x3008, 0x3009, 0x300A, 0x300B,
    0x300C, 0x300D, 0x300E, 0x300F, 0x3010, 0x3011, 0xFF08, 0xFF09, 0xFF3B, 0xFF3D, 0xFF5B, 0xFF5D};
static_assert(std::is_sorted(kExemptMarks.begin(), kExemptMarks.end()) &&
              std::adjacent_find(kExemptMarks.begin(), kExemptMarks.end()) == kExemptMarks.end());

bool is_exempt(char32_t c) {
  if ((c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')) return true;
  return std::binary_search(kExemptMarks.begin(), kExemptMarks.end(), c);
}

}  // namespace

void shorten(std::string_view in, std::string& out, std::size_t limit) {
  limit = std::max<std::size_t>(limit, 1);
  utf8::Rewriter w(in, out);
  char32_t prev = 0;  // the previous INPUT code point of the current run
  bool in_run = false;
  std::size_t count = 0;
  while (!w.done()) {
    const char32_t c = w.next();
    if (is_exempt(c)) {
      in_run = false;
    } else if (in_run && c == prev) {
      if (++count > limit) w.drop();
    } else {
      prev = c;
      in_run = true;
      count = 1;
    }
  }
  w.finish();
}

}  // namespace zenkor::l1_char::repeat
