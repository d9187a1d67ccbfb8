#include "core/text/three_byte_runs.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define ZENKOR_THREE_BYTE_SSSE3 1
#endif

namespace zenkor::text {
namespace {

#ifdef ZENKOR_THREE_BYTE_SSSE3
// Byte shuffles: for output byte i the source byte, or -1 for zero.
// Encoding: x holds (lead, second) byte pairs of eight characters, y their
// last bytes in the low byte of each 16-bit lane.
#define ZENKOR_X(j) 2 * (j), 2 * (j) + 1, -1
constexpr std::int8_t ENCODE_X[32] = {ZENKOR_X(0), ZENKOR_X(1), ZENKOR_X(2), ZENKOR_X(3), ZENKOR_X(4), 10, 11, -1,
                                      ZENKOR_X(6), ZENKOR_X(7), -1, -1, -1, -1, -1, -1, -1, -1};
#undef ZENKOR_X
#define ZENKOR_Y(j) -1, -1, 2 * (j)
constexpr std::int8_t ENCODE_Y[32] = {ZENKOR_Y(0), ZENKOR_Y(1), ZENKOR_Y(2), ZENKOR_Y(3), ZENKOR_Y(4), -1, -1, 10,
                                      ZENKOR_Y(6), ZENKOR_Y(7), -1, -1, -1, -1, -1, -1, -1, -1};
#undef ZENKOR_Y

[[gnu::target("ssse3")]] inline __m128i load(const void* p) noexcept {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Eight 16-bit characters, all three-byte ones, as 24 bytes at p.
[[gnu::target("ssse3")]] inline void encode8(__m128i c, char* p) noexcept {
  const __m128i low6 = _mm_set1_epi16(0x3F);
  const __m128i lead = _mm_or_si128(_mm_srli_epi16(c, 12), _mm_set1_epi16(0xE0));
  const __m128i second = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(c, 6), low6), _mm_set1_epi16(0x80));
  const __m128i x = _mm_or_si128(lead, _mm_slli_epi16(second, 8));
  const __m128i y = _mm_or_si128(_mm_and_si128(c, low6), _mm_set1_epi16(0x80));
  const __m128i first = _mm_or_si128(_mm_shuffle_epi8(x, load(ENCODE_X)), _mm_shuffle_epi8(y, load(ENCODE_Y)));
  const __m128i rest = _mm_or_si128(_mm_shuffle_epi8(x, load(ENCODE_X + 16)), _mm_shuffle_epi8(y, load(ENCODE_Y + 16)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), rest);
}

// Whether all eight 16-bit lanes are three-byte characters.
[[gnu::target("ssse3")]] inline bool all_three_byte(__m128i c) noexcept {
  const __m128i top = _mm_and_si128(c, _mm_set1_epi16(static_cast<short>(0xF800)));
  const __m128i bad = _mm_or_si128(_mm_cmpeq_epi16(top, _mm_setzero_si128()),
                                   _mm_cmpeq_epi16(top, _mm_set1_epi16(static_cast<short>(0xD800))));
  return _mm_movemask_epi8(bad) == 0;
}

template <typename Unit>
[[gnu::target("ssse3")]] inline __m128i load8(const Unit* u) noexcept {
  if constexpr (sizeof(Unit) == 2) {
    return load(u);
  } else {
    // Narrowing keeps the low 16 bits of each lane (sign-extended first, so
    // that packing does not saturate them); a block with a character past
    // U+FFFF comes back as zeros, which all_three_byte turns down.
    const __m128i lo = load(u);
    const __m128i hi = load(u + 4);
    const __m128i wide = _mm_or_si128(_mm_srli_epi32(lo, 16), _mm_srli_epi32(hi, 16));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(wide, _mm_setzero_si128())) != 0xFFFF) return _mm_setzero_si128();
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16), _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
  }
}

template <typename Unit>
[[gnu::target("ssse3")]] char* encode_ssse3(const Unit* units, std::size_t length, std::size_t& k, char* p) noexcept {
  while (k + 8 <= length) {
    const __m128i c = load8(units + k);
    if (!all_three_byte(c)) break;
    encode8(c, p);
    p += 24;
    k += 8;
  }
  return k < length && is_three_byte(units[k]) ? encode_one_by_one(units, length, k, p) : p;
}

// Decoding: 24 bytes of eight characters, read as s[0, 16) and s[8, 24).
// For each character its lead, second and last byte, in 16-bit lanes.
#define ZENKOR_PICK(from_a, b) from_a(0, b), from_a(1, b), from_a(2, b), from_a(3, b), from_a(4, b)
#define ZENKOR_A(j, b) 3 * (j) + (b), -1
constexpr std::int8_t DECODE_A[3][16] = {{ZENKOR_PICK(ZENKOR_A, 0), -1, -1, -1, -1, -1, -1},
                                         {ZENKOR_PICK(ZENKOR_A, 1), -1, -1, -1, -1, -1, -1},
                                         {ZENKOR_PICK(ZENKOR_A, 2), -1, -1, -1, -1, -1, -1}};
#undef ZENKOR_A
#undef ZENKOR_PICK
// Characters 5, 6 and 7 start at bytes 15, 18 and 21: 7, 10 and 13 of s[8, 24).
constexpr std::int8_t DECODE_B[3][16] = {{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, -1, 10, -1, 13, -1},
                                         {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, -1, 11, -1, 14, -1},
                                         {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 9, -1, 12, -1, 15, -1}};

template <typename Unit>
[[gnu::target("ssse3")]] Unit* decode_ssse3(const unsigned char* s, std::size_t size, std::size_t& pos,
                                            Unit* out) noexcept {
  while (pos + 24 <= size) {
    const __m128i a = load(s + pos);
    const __m128i b = load(s + pos + 8);
    const __m128i lead = _mm_or_si128(_mm_shuffle_epi8(a, load(DECODE_A[0])), _mm_shuffle_epi8(b, load(DECODE_B[0])));
    // Valid UTF-8 whose eight leads are all three-byte leads is eight characters.
    const __m128i lead_kind = _mm_and_si128(lead, _mm_set1_epi16(0xF0));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(lead_kind, _mm_set1_epi16(0xE0))) != 0xFFFF) break;
    const __m128i second = _mm_or_si128(_mm_shuffle_epi8(a, load(DECODE_A[1])), _mm_shuffle_epi8(b, load(DECODE_B[1])));
    const __m128i last = _mm_or_si128(_mm_shuffle_epi8(a, load(DECODE_A[2])), _mm_shuffle_epi8(b, load(DECODE_B[2])));
    const __m128i low6 = _mm_set1_epi16(0x3F);
    const __m128i c = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(lead, 12), _mm_slli_epi16(_mm_and_si128(second, low6), 6)),
                                   _mm_and_si128(last, low6));
    if constexpr (sizeof(Unit) == 2) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), c);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(c, _mm_setzero_si128()));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(c, _mm_setzero_si128()));
    }
    out += 8;
    pos += 24;
  }
  return pos < size && is_three_byte_lead(s[pos]) ? decode_one_by_one(s, size, pos, out) : out;
}

bool has_ssse3() noexcept {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

template <typename Unit>
char* encode_run(const Unit* units, std::size_t length, std::size_t& k, char* p) noexcept {
#ifdef ZENKOR_THREE_BYTE_SSSE3
  if (has_ssse3()) return encode_ssse3(units, length, k, p);
#endif
  return encode_one_by_one(units, length, k, p);
}

template <typename Unit>
Unit* decode_run(const unsigned char* s, std::size_t size, std::size_t& pos, Unit* out) noexcept {
#ifdef ZENKOR_THREE_BYTE_SSSE3
  if (has_ssse3()) return decode_ssse3(s, size, pos, out);
#endif
  return decode_one_by_one(s, size, pos, out);
}

}  // namespace

char* encode_three_byte_run(const std::uint16_t* units, std::size_t length, std::size_t& k, char* p) noexcept {
  return encode_run(units, length, k, p);
}
char* encode_three_byte_run(const std::uint32_t* units, std::size_t length, std::size_t& k, char* p) noexcept {
  return encode_run(units, length, k, p);
}
std::uint16_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos,
                                     std::uint16_t* out) noexcept {
  return decode_run(s, size, pos, out);
}
std::uint32_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos,
                                     std::uint32_t* out) noexcept {
  return decode_run(s, size, pos, out);
}
char32_t* decode_three_byte_run(const unsigned char* s, std::size_t size, std::size_t& pos, char32_t* out) noexcept {
  return decode_run(s, size, pos, out);
}

}  // namespace zenkor::text
