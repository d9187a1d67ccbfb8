#include "core/l1_char/case.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/stringpiece.h>
#include <unicode/uchar.h>

#include <bit>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/icu_edits.h"
#include "core/text/pieces.h"
#include "core/text/utf8.h"

namespace zenkor::l1_char::case_ {
namespace {

// The final-sigma rule looks past case-ignorable characters for a cased
// letter; a character that is neither stops it just as the end of the text does.
bool stops_case_context(char32_t c) {
  const auto cp = static_cast<UChar32>(c);
  return !u_hasBinaryProperty(cp, UCHAR_CASED) && !u_hasBinaryProperty(cp, UCHAR_CASE_IGNORABLE);
}

constexpr std::string_view CAPITAL_SIGMA = "\u03A3";

// Maps one character by itself with the case mapper.
void convert_one(std::string_view c, std::string& out, CaseAction action) {
  icu::StringByteSink<std::string> sink(&out);
  UErrorCode status = U_ZERO_ERROR;
  const icu::StringPiece piece(c.data(), static_cast<std::int32_t>(c.size()));
  if (action == CaseAction::Lower) {
    icu::CaseMap::utf8ToLower("", 0, piece, sink, nullptr, status);
  } else {
    icu::CaseMap::utf8ToUpper("", 0, piece, sink, nullptr, status);
  }
  if (U_FAILURE(status)) out.append(c);
}

// The first byte at or after `pos` that leads a character outside ASCII and
// outside U+3000-U+9FFF (kana, kanji, CJK punctuation, which have no case),
// or in.size(); `pos` may lie inside a character.  Sixteen bytes at a time
// where SSE2 is (every x86-64): a character at a time took 9% of for_search
// on Wikipedia text.
std::size_t next_lead_outside_cjk(std::string_view in, std::size_t pos) noexcept {
#if defined(__SSE2__)
  // Signed bytes: the leads C0-FF are -64 to -1, E3-E9 are -29 to -23.
  const __m128i below_leads = _mm_set1_epi8(static_cast<char>(0xBF));
  const __m128i below_cjk = _mm_set1_epi8(static_cast<char>(0xE2));
  const __m128i above_cjk = _mm_set1_epi8(static_cast<char>(0xEA));
  const __m128i zero = _mm_setzero_si128();
  for (; pos + 16 <= in.size(); pos += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.data() + pos));
    const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(v, below_leads), _mm_cmplt_epi8(v, zero));
    const __m128i cjk = _mm_and_si128(_mm_cmpgt_epi8(v, below_cjk), _mm_cmplt_epi8(v, above_cjk));
    if (const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(cjk, lead))); bits != 0) {
      return pos + static_cast<std::size_t>(std::countr_zero(bits));
    }
  }
#endif
  for (; pos < in.size(); ++pos) {
    const auto b = static_cast<unsigned char>(in[pos]);
    if (b >= 0xC0 && (b < 0xE3 || b > 0xE9)) return pos;
  }
  return in.size();
}

// The position of the first character at or after `pos` that is not ASCII
// and that `action` changes, or in.size().
std::size_t next_changed_non_ascii(std::string_view in, std::size_t pos, CaseAction action) {
  for (pos = next_lead_outside_cjk(in, pos); pos < in.size(); pos = next_lead_outside_cjk(in, pos)) {
    std::size_t next = pos;
    if (convert_trigger(text::utf8::next(in, next), action)) return pos;
    pos = next;
  }
  return pos;
}

// Maps ASCII letters in place.
void convert_ascii(char* begin, char* end, CaseAction action) {
  const char first = action == CaseAction::Lower ? 'A' : 'a';
  const char shift = action == CaseAction::Lower ? 'a' - 'A' : 'A' - 'a';
  for (char* p = begin; p != end; ++p) {
    if (static_cast<unsigned char>(*p - first) < 26) *p = static_cast<char>(*p + shift);
  }
}

// Maps character by character: ASCII in place, and the case mapper only
// for the characters it changes.  In the root locale only Σ depends on its
// neighbours, and only when lower-cased (the final-sigma rule).  ASCII maps
// one character for one, so only the mapper's characters go to the log.
// REQUIRES: `in` holds no Σ when `action` is Lower.
void convert_each(std::string_view in, std::string& out, CaseAction action, EditLog* log) {
  out.clear();
  out.reserve(in.size());
  for (std::size_t pos = 0; pos < in.size();) {
    const std::size_t changed = next_changed_non_ascii(in, pos, action);
    const std::size_t kept = out.size();
    out.append(in, pos, changed - pos);
    convert_ascii(out.data() + kept, out.data() + out.size(), action);
    if (changed == in.size()) break;
    std::size_t next = changed;
    (void)text::utf8::next(in, next);
    const std::size_t at = out.size();
    convert_one(in.substr(changed, next - changed), out, action);
    if (log != nullptr) log->replace(changed, next, at, out.size());
    pos = next;
  }
}

}  // namespace

void convert(std::string_view in, std::string& out, CaseAction action, EditLog* log) {
  // Without a Σ to lower-case every character maps by itself, and most need no call of the
  // case mapper: 0.97 -> 2.0 times the speed of str.lower on Wikipedia text.
  if (action == CaseAction::Upper || (action == CaseAction::Lower && in.find(CAPITAL_SIGMA) == std::string_view::npos)) {
    convert_each(in, out, action, log);
    return;
  }
  convert_in_pieces(in, out, action, std::numeric_limits<std::int32_t>::max(), log);
}

void convert_in_pieces(std::string_view in, std::string& out, CaseAction action, std::size_t max_piece, EditLog* log) {
  out.clear();
  if (action == CaseAction::Keep) {
    out.assign(in);
    return;
  }
  out.reserve(in.size());
  const std::size_t logged = log != nullptr ? log->size() : 0;
  icu::StringByteSink<std::string> sink(&out);
  // The case mapper's own record of what it changed, in bytes of each piece.
  icu::Edits edits;
  icu::Edits* const wanted = log != nullptr ? &edits : nullptr;
  for (std::string_view rest = in; !rest.empty();) {
    const std::size_t length = text::piece_length(rest, max_piece, stops_case_context);
    const icu::StringPiece piece(rest.data(), static_cast<std::int32_t>(length));
    const std::size_t piece_in = static_cast<std::size_t>(rest.data() - in.data());
    const std::size_t piece_out = out.size();
    UErrorCode status = U_ZERO_ERROR;
    // The root locale "" gives the language-independent mappings, Final_Sigma included.
    if (action == CaseAction::Lower) {
      icu::CaseMap::utf8ToLower("", 0, piece, sink, wanted, status);
    } else {
      icu::CaseMap::utf8ToUpper("", 0, piece, sink, wanted, status);
    }
    if (log != nullptr && U_SUCCESS(status)) log_icu_changes(edits, piece_in, piece_out, *log);
    // Valid UTF-8 can only fail here by running out of memory; leave the text as it was.
    if (U_FAILURE(status)) {
      out.assign(in);
      if (log != nullptr) log->truncate(logged);
      return;
    }
    rest.remove_prefix(length);
  }
}

bool sigma_may_end_word_after(char32_t before) noexcept { return !stops_case_context(before); }

bool convert_trigger(char32_t c, CaseAction action) noexcept {
  const auto cp = static_cast<UChar32>(c);
  return u_hasBinaryProperty(cp, action == CaseAction::Upper ? UCHAR_CHANGES_WHEN_UPPERCASED : UCHAR_CHANGES_WHEN_LOWERCASED);
}

}  // namespace zenkor::l1_char::case_
