#include "core/l2_script/kana.h"

#include "core/utf8.h"

namespace zenkor::l2_script::kana {
namespace {

constexpr char32_t KANA_OFFSET = 0x60;

// Copies `in` to `out` with each character replaced by `map(c)`.
template <typename Map>
void map_each(std::string_view in, std::string& out, Map map) {
  utf8::Rewriter w(in, out);
  while (!w.done()) {
    if (w.skip_ascii()) continue;
    const char32_t c = w.next();
    if (const char32_t mapped = map(c); mapped != c) w.replace(mapped);
  }
  w.finish();
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
