#include "core/l1_char/unicode.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/utf8.h"

namespace zenkor::l1_char::unicode {
namespace {

// Characters nfkc copies unchanged: mostly those whose compatibility
// decomposition starts with U+0020 SPACE (the spacing ゛ and ゜ excepted, they
// have rules of their own), plus U+FE77, U+FE79, U+FE7B and U+FE7D.
constexpr utf8::CharSet NFKC_PASSTHROUGH = {
    {0x00A8, 0x00A8}, {0x00AF, 0x00AF}, {0x00B4, 0x00B4}, {0x00B8, 0x00B8}, {0x02D8, 0x02DD},
    {0x037A, 0x037A}, {0x0384, 0x0385}, {0x1FBD, 0x1FBD}, {0x1FBF, 0x1FC1}, {0x1FCD, 0x1FCF},
    {0x1FDD, 0x1FDF}, {0x1FED, 0x1FEE}, {0x1FFD, 0x1FFE}, {0x2017, 0x2017}, {0x203E, 0x203E},
    {0xFC5E, 0xFC63}, {0xFE49, 0xFE4C}, {0xFE70, 0xFE70}, {0xFE72, 0xFE72}, {0xFE74, 0xFE74},
    {0xFE76, 0xFE7E}, {0xFFE3, 0xFFE3},
};

constexpr char32_t kCombiningVoiced = 0x3099;
constexpr char32_t kCombiningSemiVoiced = 0x309A;
constexpr char32_t kSpacingVoiced = 0x309B;
constexpr char32_t kSpacingSemiVoiced = 0x309C;
constexpr char32_t kHalfwidthVoiced = 0xFF9E;
constexpr char32_t kHalfwidthSemiVoiced = 0xFF9F;

[[nodiscard]] constexpr bool is_voiced_mark(char32_t c) noexcept {
  return c == kCombiningVoiced || c == kSpacingVoiced || c == kHalfwidthVoiced;
}

[[nodiscard]] constexpr bool is_semi_voiced_mark(char32_t c) noexcept {
  return c == kCombiningSemiVoiced || c == kSpacingSemiVoiced || c == kHalfwidthSemiVoiced;
}

[[nodiscard]] constexpr bool is_sound_mark(char32_t c) noexcept { return is_voiced_mark(c) || is_semi_voiced_mark(c); }

// The characters pass 1 of nfkc acts on.
constexpr utf8::CharSet MARKS_AND_PASSTHROUGH = [] {
  utf8::CharSet set = NFKC_PASSTHROUGH;
  set.add(kCombiningVoiced, kSpacingSemiVoiced);
  set.add(kHalfwidthVoiced, kHalfwidthSemiVoiced);
  return set;
}();

[[nodiscard]] bool has_mark_or_passthrough(std::string_view text) noexcept {
  for (std::size_t pos = MARKS_AND_PASSTHROUGH.skip(text, 0); pos < text.size();
       pos = MARKS_AND_PASSTHROUGH.skip(text, pos)) {
    if (MARKS_AND_PASSTHROUGH.contains(utf8::next(text, pos))) return true;
  }
  return false;
}

[[nodiscard]] constexpr bool is_kana_base(char32_t c) noexcept {
  return (c >= 0x3041 && c <= 0x3096) || (c >= 0x309D && c <= 0x309E) || (c >= 0x30A1 && c <= 0x30FA) ||
         (c >= 0x30FD && c <= 0x30FE);
}

[[nodiscard]] constexpr bool is_halfwidth_katakana(char32_t c) noexcept { return c >= 0xFF66 && c <= 0xFF9D; }

// A character set aside from normalization, and where it goes back in.
struct Passthrough {
  std::size_t at;  // byte offset in the work string
  char32_t c;
};

const icu::Normalizer2* nfkc_instance() {
  static const icu::Normalizer2* const normalizer = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFKCInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
  }();
  return normalizer;
}

void append_nfkc(std::string_view text, std::string& out) {
  append_plain_nfkc(text, out, std::numeric_limits<std::int32_t>::max());
}

}  // namespace

void append_plain_nfkc(std::string_view text, std::string& out, std::size_t max_piece) {
  const icu::Normalizer2* normalizer = nfkc_instance();
  const std::size_t before = out.size();
  UErrorCode status = U_ZERO_ERROR;
  if (normalizer != nullptr) {
    icu::StringByteSink<std::string> sink(&out);
    const auto boundary_before = [normalizer](char32_t c) {
      return normalizer->hasBoundaryBefore(static_cast<UChar32>(c));
    };
    for (std::string_view rest = text; !rest.empty() && U_SUCCESS(status);) {
      const std::size_t length = utf8::piece_length(rest, max_piece, boundary_before);
      normalizer->normalizeUTF8(0, icu::StringPiece(rest.data(), static_cast<std::int32_t>(length)), sink, nullptr,
                                status);
      rest.remove_prefix(length);
    }
  }
  // Only a missing ICU data file gets here; leave the text as it was rather than lose it.
  if (normalizer == nullptr || U_FAILURE(status)) {
    out.resize(before);
    out.append(text);
  }
}

void nfkc(std::string_view in, std::string& out) {
  out.clear();
  // Most texts hold neither sound marks nor passthrough characters and go to
  // the normalizer as they are: 15.4 ms -> 8.6 ms over the corpus.
  if (!has_mark_or_passthrough(in)) {
    append_nfkc(in, out);
    return;
  }
  // Pass 1: the text that goes through NFKC, with sound marks settled and the
  // passthrough characters taken out.  Looks back at the input (`before`).
  std::string work;
  std::vector<Passthrough> passthrough;
  utf8::Rewriter w(in, work);
  while (!w.done()) {
    w.skip_to(MARKS_AND_PASSTHROUGH);
    if (w.done()) break;
    const char32_t c = w.next();
    if (is_sound_mark(c)) {
      const bool voiced = is_voiced_mark(c);
      const char32_t before = w.previous();  // 0 at the start: nothing a mark could join
      if (is_kana_base(before) || is_halfwidth_katakana(before)) {
        // NFKC joins a halfwidth pair itself; every other mark after a kana
        // becomes the combining mark of its kind.
        const bool halfwidth_pair =
            is_halfwidth_katakana(before) && (c == kHalfwidthVoiced || c == kHalfwidthSemiVoiced);
        const char32_t mark = halfwidth_pair ? c : voiced ? kCombiningVoiced : kCombiningSemiVoiced;
        if (mark != c) w.replace(mark);
      } else {
        w.drop();
        passthrough.push_back({work.size(), voiced ? kSpacingVoiced : kSpacingSemiVoiced});
      }
    } else if (NFKC_PASSTHROUGH.contains(c)) {
      w.drop();
      passthrough.push_back({work.size(), c});
    }
  }
  w.finish();

  // Pass 2: normalize the slices between passthrough characters one by one,
  // so no reordering or composition reaches across them.
  if (!passthrough.empty()) out.reserve(work.size());
  std::size_t done = 0;
  for (const Passthrough& p : passthrough) {
    append_nfkc(std::string_view(work).substr(done, p.at - done), out);
    utf8::append(out, p.c);
    done = p.at;
  }
  append_nfkc(std::string_view(work).substr(done), out);
}

}  // namespace zenkor::l1_char::unicode
