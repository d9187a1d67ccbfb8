// Steps that rewrite characters one for one, as one table over text as a str
// stores it (one, two or four bytes a character).
//
// A CharTable stands for a run of neighbouring steps of a plan, each with a
// table (Step::alone).  Its entry for a character is what those steps, one
// after the other, make of that character alone, read off the steps' own run
// functions over its UTF-8 when the table is built: the table cannot drift
// from the stages.  A character that some step of the run would rewrite by
// its neighbours (a Σ when lowering, a CR), or that an earlier step rewrites
// into such a character, has no entry: a text holding one goes the UTF-8 way.
// A character rewritten alone but where the one before joins it (a sound
// mark after kana) has an entry that reads the character before it.  So does a trigger past U+FFFF, which is rare enough not to
// be worth a table.
//
// Built once per process for each run of steps and option values, and shared
// by every Normalizer whose plan holds that run.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "core/config.h"
#include "core/plan.h"
#include "core/step.h"

namespace zenkor {

// What one pass over a text came to.
enum class Pass : std::uint8_t { unchanged, changed, not_native };

// Where a pass changed a text: the characters [first, end) of its output
// are those it wrote in place of others (a range empty where it only
// deleted), as Plan::rescan takes them.
struct Changes {
  std::size_t first = std::numeric_limits<std::size_t>::max();
  std::size_t end = 0;
  void mark(std::size_t from, std::size_t to) noexcept {
    first = std::min(first, from);
    end = std::max(end, to);
  }
};

class CharTable {
 public:
  // The table of steps [first, last) of `plan`, of a Normalizer with `config`.
  // REQUIRES: each of those steps has an `alone`.
  [[nodiscard]] static std::shared_ptr<const CharTable> of(const Plan& plan, const Config& config, std::size_t first,
                                                           std::size_t last);

  // Writes the steps' result over in[0, length) into `out`, and where it
  // changed the text into `changes`.  not_native, with `out` unspecified, when
  // the text holds a character without an entry.
  template <typename Unit>
  [[nodiscard]] Pass apply(const Unit* in, std::size_t length, std::vector<std::uint32_t>& out,
                           Changes& changes) const;

 private:
  // An entry: COPY, NO_ENTRY, a single character c as c + 1 (up to
  // MAX_SINGLE), or REPLACED | length << 24 | the offset of the characters in
  // chars_; either with GUARDED when it holds only after a character outside guard_.
  static constexpr std::uint32_t COPY = 0;
  static constexpr std::uint32_t NO_ENTRY = 0xFFFFFFFF;
  static constexpr std::uint32_t MAX_SINGLE = 0x110000;
  static constexpr std::uint32_t REPLACED = 0x80000000;
  static constexpr std::uint32_t GUARDED = 0x40000000;

  struct StepOf {
    const Step* step;
    int variant;
  };

  [[nodiscard]] std::uint32_t entry(std::uint32_t c) const noexcept {
    if (c < 0x10000) return blocks_[block_of_[c >> 6]][c & 63];
    return triggered_past_bmp(c) ? NO_ENTRY : COPY;
  }
  [[nodiscard]] bool triggered_past_bmp(char32_t c) const noexcept;
  void set(char32_t c, std::uint32_t entry);

  std::vector<StepOf> steps_;
  std::array<std::uint16_t, 1024> block_of_{};       // per block of 64 code points: its index in blocks_
  std::vector<std::array<std::uint32_t, 64>> blocks_;  // blocks_[0] copies every character
  std::vector<std::uint32_t> chars_;                  // the replacements longer than one character
  // The characters a GUARDED entry may not follow: those that join it, and
  // the triggers of the steps before the one that joins, which may write one.
  BmpSet guard_;
};

}  // namespace zenkor
