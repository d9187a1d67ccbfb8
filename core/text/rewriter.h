// Rewriter: the loop most stages are written with.  It rewrites a text into
// `out` one code point at a time, copying everything it is not told to
// change in bulk runs.
//
// A stage reads with next() and, for the code point just read, may call
// replace(), drop() or insert_before(); a code point it leaves alone is
// copied with the run around it.  finish() writes the last run.  Only the
// stage's own decisions cost an append, so text that a stage does not touch
// is copied in a handful of memcpy calls.  Given an EditLog, it records each
// change there; with none, or a NoLog, it is what it would be without the
// recording.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/edit_log.h"
#include "core/text/char_set.h"
#include "core/text/utf8.h"

namespace zenkor::text {

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
  // utf8::next_three_byte), which stay as they are.
  void skip_to_three_byte() noexcept { pos_ = utf8::next_three_byte(in_, pos_); }

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
    write_instead(pos_, [&] { out_.append(text); });
  }
  void replace(char32_t c) {
    write_instead(pos_, [&] { utf8::append(out_, c); });
  }
  void drop() {
    write_instead(pos_, [] {});
  }

  // Writes `c` in front of the code point just read, which itself stays.
  void insert_before(char32_t c) {
    write_instead(start_, [&] { utf8::append(out_, c); });
  }

  void finish() { flush_to(in_.size()); }

 private:
  void flush_to(std::size_t end) { out_.append(in_, run_, end - run_); }

  // Writes what `write` appends in place of input [start_, in_end), which
  // the kept run then resumes after.
  template <typename Write>
  void write_instead(std::size_t in_end, Write&& write) {
    flush_to(start_);
    const std::size_t written = out_.size();
    write();
    record(in_end, written);
    run_ = in_end;
  }

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

}  // namespace zenkor::text
