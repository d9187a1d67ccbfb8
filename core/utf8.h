// UTF-8 decoding and encoding shared by every stage.
//
// All text inside zenkor is valid UTF-8 (the binding guarantees it), so these
// helpers do not validate: they trust the lead byte.  That keeps the decode
// loop to a few instructions, which matters because every stage runs it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/edit_log.h"

namespace zenkor::utf8 {

// Number of bytes of the sequence that starts with lead byte `b`.
// REQUIRES: b is a lead byte of valid UTF-8 (not a continuation byte).
[[nodiscard]] constexpr std::size_t sequence_length(unsigned char b) noexcept {
  if (b < 0x80) return 1;
  if (b < 0xE0) return 2;
  if (b < 0xF0) return 3;
  return 4;
}

// Whether `b` continues a multi-byte sequence (10xxxxxx).
[[nodiscard]] constexpr bool is_continuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// Decodes the scalar value at `pos` and advances `pos` past it.
// REQUIRES: pos < s.size(), pos at a character boundary of valid UTF-8.
[[nodiscard]] inline char32_t next(std::string_view s, std::size_t& pos) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    pos += 1;
    return b0;
  }
  const auto at = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[pos + i]) & 0x3F); };
  char32_t c;
  if (b0 < 0xE0) {
    c = (static_cast<char32_t>(b0 & 0x1F) << 6) | at(1);
    pos += 2;
  } else if (b0 < 0xF0) {
    c = (static_cast<char32_t>(b0 & 0x0F) << 12) | (at(1) << 6) | at(2);
    pos += 3;
  } else {
    c = (static_cast<char32_t>(b0 & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
    pos += 4;
  }
  return c;
}

// Decodes the scalar value that ends right before `pos` and moves `pos` to its start.
// REQUIRES: 0 < pos <= s.size(), pos at a character boundary of valid UTF-8.
[[nodiscard]] inline char32_t prev(std::string_view s, std::size_t& pos) noexcept {
  const auto at = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
  char32_t b = at(--pos);
  if (b < 0x80) return b;
  // Continuation bytes back to the lead, decoding as it goes.
  char32_t c = b & 0x3F;
  if ((b = at(--pos)) >= 0xC0) return (b & 0x1F) << 6 | c;
  c |= (b & 0x3F) << 6;
  if ((b = at(--pos)) >= 0xC0) return (b & 0x0F) << 12 | c;
  c |= (b & 0x3F) << 12;
  return (at(--pos) & 0x07) << 18 | c;
}

// The first character boundary at or after byte `pos`, or s.size() past the end.
// REQUIRES: s is valid UTF-8.
[[nodiscard]] inline std::size_t boundary_at_or_after(std::string_view s, std::size_t pos) noexcept {
  if (pos >= s.size()) return s.size();
  while (pos < s.size() && is_continuation(static_cast<unsigned char>(s[pos]))) ++pos;
  return pos;
}

// Number of bytes `c` takes in UTF-8.
[[nodiscard]] constexpr std::size_t encoded_length(char32_t c) noexcept {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Appends the UTF-8 encoding of scalar value `c`.
inline void append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    const char buf[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 2);
  } else if (c < 0x10000) {
    const char buf[3] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 3);
  } else {
    const char buf[4] = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                         static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(buf, 4);
  }
}

// Number of characters of `s`: the bytes that start one.
[[nodiscard]] inline std::size_t length(std::string_view s) noexcept {
  std::size_t n = 0;
  for (const char b : s) n += !is_continuation(static_cast<unsigned char>(b));
  return n;
}

// Decodes a whole text into scalar values, for stages that need random access.
[[nodiscard]] inline std::u32string decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) out.push_back(next(s, pos));
  return out;
}

// Length of the leading run of ASCII bytes, eight bytes at a time: stages use
// it to copy unchanged ASCII in bulk.
[[nodiscard]] inline std::size_t ascii_prefix(std::string_view s, std::size_t pos) noexcept {
  const std::size_t start = pos;
  while (pos + 8 <= s.size()) {
    std::uint64_t word;
    __builtin_memcpy(&word, s.data() + pos, 8);
    if (word & 0x8080808080808080ULL) break;
    pos += 8;
  }
  while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) ++pos;
  return pos - start;
}

// An inclusive range of code points.
struct Range {
  char32_t first;
  char32_t last;
};

// A set of code points, made for stages that change only a few characters:
// skip() passes over the characters outside it without decoding them.
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
    while (pos < s.size() && !may_start_at(s, pos)) pos += sequence_length(static_cast<unsigned char>(s[pos]));
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

// The first character at or after `pos` that takes three bytes (U+0800-U+FFFF,
// which holds kana, most kanji and CJK punctuation), or s.size(); for stages
// that change only such characters.  The branch it takes at each character
// is easy to predict in Japanese text, where most characters take three bytes.
[[nodiscard]] inline std::size_t next_three_byte(std::string_view s, std::size_t pos) noexcept {
  while (pos < s.size()) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if ((lead & 0xF0) == 0xE0) break;
    pos += sequence_length(lead);
  }
  return pos;
}

// The first occurrence of the encoded character `ch` at or after `pos`, or
// npos.  memchr seeks its last byte: in CJK text a lead byte such as 0xE3,
// which starts every kana, stops the search far more often.
// REQUIRES: `ch` is one encoded character.
[[nodiscard]] inline std::size_t find_char(std::string_view s, std::string_view ch, std::size_t pos) noexcept {
  for (std::size_t last = pos + ch.size() - 1; last < s.size(); ++last) {
    last = s.find(ch.back(), last);
    if (last == std::string_view::npos) break;
    if (s.substr(last + 1 - ch.size(), ch.size()) == ch) return last + 1 - ch.size();
  }
  return std::string_view::npos;
}

// Rewrites a text into `out` one code point at a time, copying everything it
// is not told to change in bulk runs.  A stage reads with next() and, for the
// code point just read, may call replace(), drop() or insert_before(); a code
// point it leaves alone is copied with the run around it.  finish() writes the
// last run.  Only the stage's own decisions cost an append, so text that a
// stage does not touch is copied in a handful of memcpy calls.  Given an
// EditLog, it records each change there; with none, or a NoLog, it is what
// it would be without the recording.
template <typename Log = NoLog>
class Rewriter {
 public:
  // Clears `out` and reserves the input's length, which most stages never exceed.
  Rewriter(std::string_view in, std::string& out) : in_(in), out_(out) {
    out_.clear();
    out_.reserve(in.size());
  }
  Rewriter(std::string_view in, std::string& out, Log& log) : Rewriter(in, out) { log_ = &log; }

  [[nodiscard]] bool done() const noexcept { return pos_ >= in_.size(); }

  // Decodes the next code point.  REQUIRES: !done().
  char32_t next() noexcept {
    start_ = pos_;
    return utf8::next(in_, pos_);
  }

  // Decodes the next code point as part of the one just read, so that the
  // replace() or drop() that follows covers both.  REQUIRES: !done().
  char32_t take_next() noexcept { return utf8::next(in_, pos_); }

  // Moves past the ASCII bytes that follow, which stay as they are, and tells
  // whether there were any; for stages that never change ASCII.
  bool skip_ascii() noexcept {
    const std::size_t n = ascii_prefix(in_, pos_);
    pos_ += n;
    return n != 0;
  }

  // Moves past everything before the next occurrence of lead byte `lead`
  // (or to the end), which stays as it is; for stages whose characters all
  // start with one lead byte, so the search runs at memchr speed.
  // REQUIRES: `lead` is a lead byte (0x00-0x7F or 0xC2-0xF4).
  void skip_to_lead(unsigned char lead) noexcept {
    const void* hit = std::memchr(in_.data() + pos_, lead, in_.size() - pos_);
    pos_ = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - in_.data()) : in_.size();
  }

  // Moves past the characters outside `set` (see CharSet::skip), which stay as they are.
  void skip_to(const CharSet& set) noexcept { pos_ = set.skip(in_, pos_); }

  // Moves past the characters before the next three-byte one (see
  // next_three_byte), which stay as they are, and tells whether there were any.
  bool skip_to_three_byte() noexcept {
    const std::size_t from = pos_;
    pos_ = next_three_byte(in_, pos_);
    return pos_ != from;
  }

  // The input after the code point just read, for stages that look ahead.
  [[nodiscard]] std::string_view rest() const noexcept { return in_.substr(pos_); }

  // The input code point before the one just read, or 0 at the start, for
  // stages that look back.
  [[nodiscard]] char32_t previous() const noexcept {
    std::size_t at = start_;
    return at == 0 ? 0 : utf8::prev(in_, at);
  }

  // Replace the code point just read by `text` or by `c`, or delete it.
  void replace(std::string_view text) {
    flush_to(start_);
    const std::size_t written = out_.size();
    out_.append(text);
    record(pos_, written);
    run_ = pos_;
  }
  void replace(char32_t c) {
    flush_to(start_);
    const std::size_t written = out_.size();
    append(out_, c);
    record(pos_, written);
    run_ = pos_;
  }
  void drop() {
    flush_to(start_);
    record(pos_, out_.size());
    run_ = pos_;
  }

  // Writes `c` in front of the code point just read, which itself stays.
  void insert_before(char32_t c) {
    flush_to(start_);
    const std::size_t written = out_.size();
    append(out_, c);
    record(start_, written);
    run_ = start_;
  }

  void finish() { flush_to(in_.size()); }

 private:
  void flush_to(std::size_t end) { out_.append(in_, run_, end - run_); }

  // Input [start_, in_end) became output [written, out_.size()).
  void record(std::size_t in_end, std::size_t written) {
    if constexpr (!std::is_same_v<Log, NoLog>) log_->replace(start_, in_end, written, out_.size());
  }

  std::string_view in_;
  std::string& out_;
  Log* log_ = nullptr;
  std::size_t pos_ = 0;    // next byte to decode
  std::size_t start_ = 0;  // first byte of the code point just read
  std::size_t run_ = 0;    // first byte of the kept run not yet written
};

// Copies `in` into `out` without the code points of `dropped`, recording
// the deletions in `log` (an EditLog or a NoLog).
template <typename Log>
void drop_all(std::string_view in, std::string& out, const CharSet& dropped, Log& log) {
  Rewriter w(in, out, log);
  while (!w.done()) {
    w.skip_to(dropped);
    if (w.done()) break;
    if (dropped.contains(w.next())) w.drop();
  }
  w.finish();
}

// Unicode White_Space (not a UTF-8 matter, but every caller that trims needs
// it next to the decoder).
[[nodiscard]] constexpr bool is_white_space(char32_t c) noexcept {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// `s` without its leading White_Space.
[[nodiscard]] inline std::string_view trim_white_space_front(std::string_view s) noexcept {
  std::size_t start = 0;
  while (start < s.size()) {
    std::size_t pos = start;
    if (!is_white_space(next(s, pos))) break;
    start = pos;
  }
  return s.substr(start);
}

// `s` without its trailing White_Space.
[[nodiscard]] inline std::string_view trim_white_space_back(std::string_view s) noexcept {
  std::size_t end = s.size();
  while (end > 0) {
    std::size_t pos = end;
    if (!is_white_space(prev(s, pos))) break;
    end = pos;
  }
  return s.substr(0, end);
}

// `s` without White_Space at either end.
[[nodiscard]] inline std::string_view trim_white_space(std::string_view s) noexcept {
  return trim_white_space_back(trim_white_space_front(s));
}

// Length of the first piece of `text` when a library takes at most
// `max_piece` bytes at a time: all of `text` when it fits; else up to the last
// character in reach before which `cuts_cleanly` holds (searching back at most
// 1 MiB), so that the pieces give the result of one call; else, for a text
// with no such character near the limit, the last character boundary in reach.
// REQUIRES: max_piece >= 4.
template <typename Predicate>
[[nodiscard]] std::size_t piece_length(std::string_view text, std::size_t max_piece, Predicate cuts_cleanly) {
  if (text.size() <= max_piece) return text.size();
  constexpr std::size_t kMaxSearch = std::size_t{1} << 20;
  std::size_t boundary = max_piece;
  while (is_continuation(static_cast<unsigned char>(text[boundary]))) --boundary;
  const std::size_t search_from = boundary > kMaxSearch ? boundary - kMaxSearch : 0;
  for (std::size_t pos = boundary; pos > search_from; (void)prev(text, pos)) {
    std::size_t at = pos;
    if (cuts_cleanly(next(text, at))) return pos;
  }
  return boundary;
}

// For bytes from outside (files, paths), which may not be UTF-8: how many
// bytes at `pos` begin a well-formed sequence, and in `full` the length that
// sequence needs (0 when the byte at `pos` cannot start one).
// REQUIRES: pos < s.size().
[[nodiscard]] inline std::size_t well_formed_prefix(std::string_view s, std::size_t pos, std::size_t& full) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  // Bounds of the second byte exclude overlong forms, surrogates and values past U+10FFFF.
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 < 0x80) {
    full = 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    full = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    full = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    full = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    full = 0;
    return 0;
  }
  std::size_t n = 1;
  while (n < full && pos + n < s.size()) {
    const auto b = static_cast<unsigned char>(s[pos + n]);
    if (n == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) break;
    ++n;
  }
  return n;
}

// Whether `s` is well-formed UTF-8.  Runs of three-byte characters, which
// hold kana and most kanji, take a short path: after a lead byte E1-EC or
// EE-EF any two continuation bytes are well-formed, so only E0 (overlong
// forms) and ED (surrogates) need the bounds of well_formed_prefix.  On the
// tweet and Wikipedia corpus it checks 1.5 to 2.3 GB/s, against 0.6 GB/s for the
// general loop alone: a column of text is checked value by value before
// it is normalized, so this is part of every value's cost.
[[nodiscard]] inline bool is_valid(std::string_view s) noexcept {
  std::size_t pos = ascii_prefix(s, 0);
  while (pos < s.size()) {
    for (auto lead = static_cast<unsigned char>(s[pos]);
         s.size() - pos >= 3 && (lead & 0xF0) == 0xE0 && lead != 0xE0 && lead != 0xED;
         lead = static_cast<unsigned char>(s[pos])) {
      if (!is_continuation(static_cast<unsigned char>(s[pos + 1])) | !is_continuation(static_cast<unsigned char>(s[pos + 2]))) {
        return false;
      }
      pos += 3;
      if (pos == s.size()) return true;
    }
    if (static_cast<unsigned char>(s[pos]) >= 0x80) {
      std::size_t full = 0;
      if (well_formed_prefix(s, pos, full) != full || full == 0) return false;
      pos += full;
    }
    pos += ascii_prefix(s, pos);
  }
  return true;
}

// `s` with each ill-formed part replaced by U+FFFD: one replacement for every
// stray byte or maximal start of a sequence that is cut short.
[[nodiscard]] inline std::string to_valid_lossy(std::string_view s) {
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

}  // namespace zenkor::utf8
