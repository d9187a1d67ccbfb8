// What a stage changed: the spans of its input it rewrote, and what each
// became, so that every character of a result can be traced to the input.
//
// A stage given an EditLog records each span it replaces, deletes or
// inserts, in input order; between two edits, each output character comes
// from the input character in its place.  So a character replaced by
// exactly one other may go unrecorded (kana, ASCII case): it maps to the
// character it replaced either way.  Normalizing passes no log; stages that
// rewrite through text::Rewriter then run as a NoLog instantiation, the
// same code as without recording, and the others pay one pointer test per
// edit.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zenkor {

// Input bytes [in_begin, in_end) became output bytes [out_begin, out_end);
// an empty input span is an insertion, an empty output span a deletion.
struct Edit {
  std::size_t in_begin;
  std::size_t in_end;
  std::size_t out_begin;
  std::size_t out_end;

  friend bool operator==(const Edit&, const Edit&) = default;
};

class EditLog {
 public:
  void clear() noexcept { edits_.clear(); }

  // The number of edits recorded, and forgetting those after the first
  // `count`: for a stage that starts over.
  [[nodiscard]] std::size_t size() const noexcept { return edits_.size(); }
  void truncate(std::size_t count) { edits_.resize(count); }

  // REQUIRES: in_begin is at or after the last edit's in_end, and the
  // characters between the two map one to one to those between their outputs.
  void replace(std::size_t in_begin, std::size_t in_end, std::size_t out_begin, std::size_t out_end) {
    edits_.push_back({in_begin, in_end, out_begin, out_end});
  }

  // For stages that rewrite a span as a whole (a number, an era year, a
  // dictionary match): in[in_begin, in_end) became out[out_begin, out.size()).
  // Characters the two share at their start and end are left out of the
  // edit, so they map to themselves: 007 -> 7 deletes the zeros, and
  // 平成31年 -> 2019年 keeps its 年.
  // REQUIRES: as for replace; both spans are whole characters of valid UTF-8.
  void rewrite(std::string_view in, std::size_t in_begin, std::size_t in_end, std::string_view out,
               std::size_t out_begin) {
    std::size_t out_end = out.size();
    const auto continues = [](std::string_view s, std::size_t at) {
      return (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
    };
    // The common start, backed off to the start of a character.
    std::size_t head = 0;
    while (in_begin + head < in_end && out_begin + head < out_end && in[in_begin + head] == out[out_begin + head]) {
      ++head;
    }
    while (head > 0 && ((in_begin + head < in_end && continues(in, in_begin + head)) ||
                        (out_begin + head < out_end && continues(out, out_begin + head)))) {
      --head;
    }
    in_begin += head;
    out_begin += head;
    // The common end of what is left, starting at a character.
    std::size_t tail = 0;
    while (in_begin + tail < in_end && out_begin + tail < out_end &&
           in[in_end - 1 - tail] == out[out_end - 1 - tail]) {
      ++tail;
    }
    while (tail > 0 && continues(in, in_end - tail)) --tail;
    in_end -= tail;
    out_end -= tail;
    if (in_begin != in_end || out_begin != out_end) replace(in_begin, in_end, out_begin, out_end);
  }

  [[nodiscard]] const std::vector<Edit>& edits() const noexcept { return edits_; }

 private:
  std::vector<Edit> edits_;
};

// An EditLog that records nothing.  A stage written once as a template over
// its log compiles, with NoLog, to what it would be without the recording:
// every call is empty, and normalizing pays nothing for offsets.
struct NoLog {
  static void replace(std::size_t, std::size_t, std::size_t, std::size_t) noexcept {}
  static void rewrite(std::string_view, std::size_t, std::size_t, std::string_view, std::size_t) noexcept {}
  [[nodiscard]] static std::size_t size() noexcept { return 0; }
  static void truncate(std::size_t) noexcept {}
};

// Runs `run(log)` out of line and as rarely taken: recording belongs to the
// slow path, and kept apart it leaves the stage's own code (its inlining
// above all) as it is without a log.
template <typename Run>
[[gnu::noinline, gnu::cold]] void run_logged(Run& run, EditLog& log) {
  run(log);
}

// Calls `run` with `*log`, or with a NoLog when `log` is null.
template <typename Run>
void with_log(EditLog* log, Run&& run) {
  if (log != nullptr) [[unlikely]] {
    run_logged(run, *log);
  } else {
    NoLog none;
    run(none);
  }
}

}  // namespace zenkor
