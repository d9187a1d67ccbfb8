#include "core/l2_script/kana.h"

#include <cstddef>

#include "core/utf8.h"

namespace zenkor::l2_script::kana {
namespace {

constexpr char32_t KANA_OFFSET = 0x60;

// Copies `in` to `out` with each character replaced by `map(c)`; unchanged
// stretches are copied in bulk.
template <typename Map>
void map_each(std::string_view in, std::string& out, Map map) {
  out.clear();
  out.reserve(in.size());
  std::size_t copied = 0;  // in[0, copied) is already in `out`
  std::size_t pos = 0;
  while (pos < in.size()) {
    pos += utf8::ascii_prefix(in, pos);
    if (pos == in.size()) break;
    const std::size_t start = pos;
    const char32_t c = utf8::next(in, pos);
    const char32_t mapped = map(c);
    if (mapped == c) continue;
    out.append(in, copied, start - copied);
    utf8::append(out, mapped);
    copied = pos;
  }
  out.append(in, copied);
}

}  // namespace

void hira_to_kata(std::string_view in, std::string& out) {
  map_each(in, out, [](char32_t c) -> char32_t {
    if ((c >= U'ぁ' && c <= U'ゖ') || c == U'ゝ' || c == U'ゞ') return c + KANA_OFFSET;
    return c;
  });
}

void kata_to_hira(std::string_view in, std::string& out) {
  map_each(in, out, [](char32_t c) -> char32_t {
    if ((c >= U'ァ' && c <= U'ヶ') || c == U'ヽ' || c == U'ヾ') return c - KANA_OFFSET;
    return c;
  });
}

}  // namespace zenkor::l2_script::kana
