// CharSet: a fixed set of code points, built at compile time, that a stage
// tests characters against and, above all, skips over: most text holds none
// of the few characters a stage changes, and skip() passes over the rest
// without decoding it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include "core/text/utf8.h"

namespace zenkor::text {

// An inclusive range of code points.
struct Range {
  char32_t first;
  char32_t last;
};

// Membership up to U+FFFF is one bit per code point, kept for the
// 64-code-point blocks that hold a member (at most 255) and found through a
// table of blocks; past U+FFFF the set keeps up to 8 ranges.
class CharSet {
 public:
  constexpr CharSet() = default;
  constexpr CharSet(std::initializer_list<Range> ranges) {
    for (const Range& r : ranges) add(r.first, r.last);
  }

  // A set that breaks the limits above throws, so the fixed tables, built
  // in constant expressions, fail the build instead.
  constexpr void add(char32_t first, char32_t last) {
    for (char32_t c = first; c <= last && c < 0x10000; ++c) {
      leads_[lead_byte(c)] = true;
      std::uint8_t& slot = block_slots_[c >> 6];
      if (slot == 0) {
        if (used_slots_ == members_.size()) throw std::length_error("CharSet: members in more than 255 blocks");
        slot = static_cast<std::uint8_t>(used_slots_++);
      }
      members_[slot] |= std::uint64_t{1} << (c & 63);
    }
    if (last >= 0x10000) {
      if (astral_count_ == astral_.size()) throw std::length_error("CharSet: more than 8 ranges past U+FFFF");
      const char32_t astral_first = first < 0x10000 ? 0x10000 : first;
      astral_[astral_count_++] = {astral_first, last};
      for (unsigned lead = lead_byte(astral_first); lead <= lead_byte(last); ++lead) leads_[lead] = true;
    }
  }
  constexpr void add(char32_t c) { add(c, c); }

  [[nodiscard]] constexpr bool contains(char32_t c) const noexcept {
    if (c < 0x10000) return in_bmp(c);
    for (std::size_t i = 0; i < astral_count_; ++i) {
      if (c >= astral_[i].first && c <= astral_[i].last) return true;
    }
    return false;
  }

  // The first character boundary at or after `pos` where a member may start,
  // or s.size().  It stops at every member and at no ASCII or three-byte
  // character outside the set; other characters it tells apart by their lead
  // byte only, so callers test contains() where it stops.
  // REQUIRES: pos at a character boundary of valid UTF-8 `s`.
  [[nodiscard]] std::size_t skip(std::string_view s, std::size_t pos) const noexcept {
    while (pos < s.size() && !may_start_at(s, pos)) pos += utf8::sequence_length(static_cast<unsigned char>(s[pos]));
    return pos;
  }

 private:
  // Whether a member may start at `pos`, told from the bytes without branches
  // on them: in Japanese text they alternate too irregularly for the branch
  // predictor.
  [[nodiscard]] bool may_start_at(std::string_view s, std::size_t pos) const noexcept {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    const bool three_bytes = (b0 & 0xF0) == 0xE0;
    const auto b1 = static_cast<unsigned char>(three_bytes ? s[pos + 1] : 0);
    const auto b2 = static_cast<unsigned char>(three_bytes ? s[pos + 2] : 0);
    // Bitwise on purpose: both sides are evaluated, and no branch is taken.
    const unsigned in_set = !three_bytes | in_bmp(((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu));
    return (leads_[b0] & in_set) != 0;
  }

  [[nodiscard]] constexpr bool in_bmp(char32_t c) const noexcept {
    return ((members_[block_slots_[c >> 6]] >> (c & 63)) & 1) != 0;
  }

  [[nodiscard]] static constexpr unsigned char lead_byte(char32_t c) noexcept {
    if (c < 0x80) return static_cast<unsigned char>(c);
    if (c < 0x800) return static_cast<unsigned char>(0xC0 | (c >> 6));
    if (c < 0x10000) return static_cast<unsigned char>(0xE0 | (c >> 12));
    return static_cast<unsigned char>(0xF0 | (c >> 18));
  }

  std::array<bool, 256> leads_{};                  // lead bytes of the members
  std::array<std::uint8_t, 1024> block_slots_{};  // per block: its slot in members_, 0 when empty
  std::array<std::uint64_t, 256> members_{};      // members_[0] stays empty
  std::size_t used_slots_ = 1;
  std::array<Range, 8> astral_{};
  std::size_t astral_count_ = 0;
};

}  // namespace zenkor::text
