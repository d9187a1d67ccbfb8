#include "core/l1_char/cjk_spacing.h"

#include <cstddef>

#include "core/text/char_set.h"
#include "core/text/rewriter.h"
#include "core/text/utf8.h"

namespace zenkor::l1_char::cjk_spacing {
namespace {

// CJK punctuation, kana, ideographs (plane 2 included), compatibility
// ideographs, fullwidth forms and halfwidth katakana; not hangul or bopomofo.
constexpr bool is_cjk(char32_t c) {
  return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF60) ||
         (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x20000 && c <= 0x2FFFF);
}

constexpr bool is_cjk_punctuation(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
         (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
}

constexpr text::CharSet ALPHANUMERICS = {{U'0', U'9'}, {U'A', U'Z'}, {U'a', U'z'}};

template <typename Log>
void remove_spaces(std::string_view in, std::string& out, Log& log) {
  text::Rewriter w(in, out, log);
  // Neighbours come from the INPUT, skipping runs of spaces, so every space
  // of a run sees the same pair and gets the same verdict, decided once.
  bool has_before = false;
  char32_t before = 0;        // nearest non-space code point before the run
  std::size_t run_left = 0;   // spaces of the current run not yet read
  bool drop_run = false;
  while (!w.done()) {
    const char32_t c = w.next();
    if (c != U' ') {
      has_before = true;
      before = c;
      continue;
    }
    if (run_left == 0) {
      const std::string_view rest = w.rest();
      const std::size_t more = rest.find_first_not_of(' ');
      run_left = (more == std::string_view::npos ? rest.size() : more) + 1;
      if (has_before && more != std::string_view::npos) {
        std::size_t at = more;
        const char32_t after = text::utf8::next(rest, at);
        drop_run = is_cjk(before) || is_cjk(after);
      } else {
        drop_run = false;
      }
    }
    --run_left;
    if (drop_run) w.drop();
  }
  w.finish();
}

// Whether a space goes between `c` and an ASCII letter or digit next to it.
constexpr bool spaced_from_alphanumerics(char32_t c) { return is_cjk(c) && !is_cjk_punctuation(c); }

template <typename Log>
void insert_spaces(std::string_view in, std::string& out, Log& log) {
  text::Rewriter w(in, out, log);
  out.reserve(in.size() + 8);
  // Every space goes next to an ASCII letter or digit, so only those are
  // read, with the INPUT code points on either side: 7.4 -> 2.9 ms over the
  // corpus.
  while (!w.done()) {
    w.skip_to(ALPHANUMERICS);
    if (w.done()) break;
    if (!ALPHANUMERICS.contains(w.next())) continue;
    if (spaced_from_alphanumerics(w.previous())) w.insert_before(U' ');  // previous() is 0 at the start
    std::size_t after = 0;
    if (!w.rest().empty() && spaced_from_alphanumerics(text::utf8::next(w.rest(), after))) {
      (void)w.next();
      w.insert_before(U' ');
    }
  }
  w.finish();
}

}  // namespace

void process(std::string_view in, std::string& out, CjkSpacing mode, EditLog* log) {
  switch (mode) {
    case CjkSpacing::Remove:
      with_log(log, [&](auto& l) { remove_spaces(in, out, l); });
      return;
    case CjkSpacing::Insert:
      with_log(log, [&](auto& l) { insert_spaces(in, out, l); });
      return;
    case CjkSpacing::Keep:
      break;
  }
  out.assign(in);
}

bool process_trigger(char32_t c, CjkSpacing mode) noexcept {
  return mode == CjkSpacing::Remove ? c == U' ' : mode == CjkSpacing::Insert && ALPHANUMERICS.contains(c);
}

}  // namespace zenkor::l1_char::cjk_spacing
