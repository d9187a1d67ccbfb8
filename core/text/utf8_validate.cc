#include "core/text/utf8_validate.h"

#include <array>
#include <cstdint>
#include <cstring>

// simdutf, the library made for this check, is not packaged for Debian 12
// (the platform scripts/system-deps.sh installs from); simdjson carries the
// same check but would make a JSON parser a dependency of the whole package.
// So the algorithm both use is written out here, for x86-64 with AVX2, which
// the processor is asked about at run time.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZENKOR_UTF8_AVX2 1
#endif

namespace zenkor::text::utf8 {

namespace {

#ifdef ZENKOR_UTF8_AVX2

// Keiser and Lemire, "Validating UTF-8 in less than one instruction per
// byte" (2021).  Every error shows in two adjacent bytes, or in the third or
// fourth byte after a lead: three table look-ups (by the high and low half of
// the first byte, and the high half of the second) give the errors each pair
// may be, and their intersection the errors it is.  A pair of continuation
// bytes (TWO_CONTS) is an error exactly when no three- or four-byte lead
// comes two or three bytes before it, which a saturating subtraction finds.
constexpr std::uint8_t TOO_SHORT = 1 << 0;   // a lead, then no continuation
constexpr std::uint8_t TOO_LONG = 1 << 1;    // ASCII, then a continuation
constexpr std::uint8_t OVERLONG_3 = 1 << 2;  // E0 80-9F
constexpr std::uint8_t TOO_LARGE = 1 << 3;   // F4 90-BF, or F5-FF 90-BF
constexpr std::uint8_t SURROGATE = 1 << 4;   // ED A0-BF
constexpr std::uint8_t OVERLONG_2 = 1 << 5;  // C0-C1 80-BF
constexpr std::uint8_t TOO_LARGE_1000 = 1 << 6;  // F5-FF 80-8F
constexpr std::uint8_t OVERLONG_4 = 1 << 6;      // F0 80-8F
constexpr std::uint8_t TWO_CONTS = 1 << 7;       // 80-BF 80-BF
constexpr std::uint8_t CARRY = TOO_SHORT | TOO_LONG | TWO_CONTS;  // errors told by the first byte's high half alone

// By the high half of the first byte.
constexpr std::array<std::uint8_t, 16> BYTE_1_HIGH = {
    TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG,  // 0-7: ASCII
    TWO_CONTS, TWO_CONTS, TWO_CONTS, TWO_CONTS,                                      // 8-B: continuation
    TOO_SHORT | OVERLONG_2,                                                          // C: two-byte lead
    TOO_SHORT,                                                                       // D: two-byte lead
    TOO_SHORT | OVERLONG_3 | SURROGATE,                                              // E: three-byte lead
    TOO_SHORT | TOO_LARGE | TOO_LARGE_1000 | OVERLONG_4,                             // F: four-byte lead
};

// By the low half of the first byte.
constexpr std::array<std::uint8_t, 16> BYTE_1_LOW = {
    CARRY | OVERLONG_3 | OVERLONG_2 | OVERLONG_4,  // 0: C0, E0, F0
    CARRY | OVERLONG_2,                            // 1: C1
    CARRY,
    CARRY,
    CARRY | TOO_LARGE,                    // 4: F4
    CARRY | TOO_LARGE | TOO_LARGE_1000,   // 5-F: F5-FF
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000 | SURROGATE,  // D: ED
    CARRY | TOO_LARGE | TOO_LARGE_1000,
    CARRY | TOO_LARGE | TOO_LARGE_1000,
};

// By the high half of the second byte.
constexpr std::array<std::uint8_t, 16> BYTE_2_HIGH = {
    TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT,  // 0-7: ASCII
    TOO_LONG | OVERLONG_2 | TWO_CONTS | OVERLONG_3 | TOO_LARGE_1000 | OVERLONG_4,           // 8: 80-8F
    TOO_LONG | OVERLONG_2 | TWO_CONTS | OVERLONG_3 | TOO_LARGE,                             // 9: 90-9F
    TOO_LONG | OVERLONG_2 | TWO_CONTS | SURROGATE | TOO_LARGE,                              // A-B: A0-BF
    TOO_LONG | OVERLONG_2 | TWO_CONTS | SURROGATE | TOO_LARGE,
    TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT,  // C-F: a lead
};

#define ZENKOR_AVX2 __attribute__((target("avx2")))

ZENKOR_AVX2 inline __m256i both_lanes(const std::array<std::uint8_t, 16>& table) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

struct Tables {
  __m256i byte_1_high, byte_1_low, byte_2_high;
  __m256i low_half, third_lead, fourth_lead, high_bit;
  __m256i incomplete;  // what the last three bytes of a block may be without a sequence cut off
};

struct State {
  __m256i error;
  __m256i previous;    // the block before
  __m256i incomplete;  // a lead in the last three bytes of the block before, waiting for continuations
};

ZENKOR_AVX2 inline void check_block(__m256i input, State& state, const Tables& t) {
  if (_mm256_movemask_epi8(input) == 0) {  // ASCII: only a sequence cut off before it is wrong
    state.error = _mm256_or_si256(state.error, state.incomplete);
    state.incomplete = _mm256_setzero_si256();
    state.previous = input;
    return;
  }
  // The input moved on by 1, 2 and 3 bytes, the block before filling in.
  const __m256i joined = _mm256_permute2x128_si256(state.previous, input, 0x21);
  const __m256i prev1 = _mm256_alignr_epi8(input, joined, 15);
  const __m256i prev2 = _mm256_alignr_epi8(input, joined, 14);
  const __m256i prev3 = _mm256_alignr_epi8(input, joined, 13);
  const __m256i high1 = _mm256_and_si256(_mm256_srli_epi16(prev1, 4), t.low_half);
  const __m256i low1 = _mm256_and_si256(prev1, t.low_half);
  const __m256i high2 = _mm256_and_si256(_mm256_srli_epi16(input, 4), t.low_half);
  const __m256i special = _mm256_and_si256(
      _mm256_and_si256(_mm256_shuffle_epi8(t.byte_1_high, high1), _mm256_shuffle_epi8(t.byte_1_low, low1)),
      _mm256_shuffle_epi8(t.byte_2_high, high2));
  // 0x80 where a three-byte lead is two bytes before, or a four-byte lead three.
  const __m256i must_continue = _mm256_and_si256(
      _mm256_or_si256(_mm256_subs_epu8(prev2, t.third_lead), _mm256_subs_epu8(prev3, t.fourth_lead)), t.high_bit);
  state.error = _mm256_or_si256(state.error, _mm256_xor_si256(must_continue, special));
  state.incomplete = _mm256_subs_epu8(input, t.incomplete);
  state.previous = input;
}

ZENKOR_AVX2 bool is_valid_avx2(std::string_view s) noexcept {
  const auto byte = [](unsigned value) { return static_cast<char>(value); };
  const Tables t = {
      both_lanes(BYTE_1_HIGH),
      both_lanes(BYTE_1_LOW),
      both_lanes(BYTE_2_HIGH),
      _mm256_set1_epi8(0x0F),
      _mm256_set1_epi8(byte(0xE0 - 0x80)),
      _mm256_set1_epi8(byte(0xF0 - 0x80)),
      _mm256_set1_epi8(byte(0x80)),
      _mm256_setr_epi8(byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF),
                       byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF),
                       byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF),
                       byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xFF), byte(0xF0 - 1), byte(0xE0 - 1),
                       byte(0xC0 - 1)),
  };
  State state = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
  std::size_t i = 0;
  for (; i + 32 <= s.size(); i += 32) {
    check_block(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s.data() + i)), state, t);
  }
  if (i < s.size()) {
    // The last bytes padded with NULs, which are ASCII: a sequence they cut
    // off shows as TOO_SHORT.
    alignas(32) char tail[32] = {};
    std::memcpy(tail, s.data() + i, s.size() - i);
    check_block(_mm256_load_si256(reinterpret_cast<const __m256i*>(tail)), state, t);
  }
  const __m256i error = _mm256_or_si256(state.error, state.incomplete);
  return _mm256_testz_si256(error, error) != 0;
}

bool has_avx2() noexcept {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return yes;
}

#endif  // ZENKOR_UTF8_AVX2

}  // namespace

bool is_valid_long(std::string_view s) noexcept {
#ifdef ZENKOR_UTF8_AVX2
  if (has_avx2()) return is_valid_avx2(s);
#endif
  return is_valid(s);
}

std::string to_valid_lossy(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) {
    std::size_t full = 0;
    const std::size_t n = well_formed_prefix(s, pos, full);
    if (n == full && full > 0) {
      out.append(s.substr(pos, n));
    } else {
      out.append("\xEF\xBF\xBD");
    }
    pos += n > 0 ? n : 1;
  }
  return out;
}

}  // namespace zenkor::text::utf8
