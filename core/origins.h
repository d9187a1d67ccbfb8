// Where each character of a text came from: the index of the character of
// the original input it maps to, followed from step to step through what
// each step changed (core/edit_log.h).
//
// The mapping is monotonic.  Characters a step copies keep their origin.
// The characters an edit writes spread in order over the characters it
// replaced: the k-th of m written over n replaced maps to replaced
// character k * n / m, so one character replaced by several maps them all
// to it, several replaced by one map it to the first, and equal counts map
// one to one.  An insertion maps to the character it was inserted before
// (or to the end).  A deleted character leaves nothing; in the input it
// falls inside the span of the character before it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/edit_log.h"

namespace zenkor {

class Origins {
 public:
  // A text that is input characters [first, first + count) as they stand.
  Origins(std::size_t first, std::size_t count);

  // For each character of the text, the input index it came from; then the
  // input index where the text ends.
  [[nodiscard]] const std::vector<std::size_t>& indices() const noexcept { return at_; }

  // Follows a step that turned `before` into `after`, recording every
  // change in `log`.
  // REQUIRES: this describes `before`; `log` holds the step's edits in order.
  void follow(std::string_view before, std::string_view after, const EditLog& log);

  // Forgets the first or the last `count` characters, which trimming
  // removed; the end stays where it was.
  // REQUIRES: count is at most the number of characters.
  void drop_front(std::size_t count);
  void drop_back(std::size_t count);

 private:
  std::vector<std::size_t> at_;
};

}  // namespace zenkor
