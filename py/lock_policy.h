// When a call on one text gives up the interpreter lock (normalize and the
// traced calls; batches and Arrow columns decide by their whole size).
//
// Giving the lock up and taking it back costs about 45 ns while no other
// thread waits for it.  When another one waits, each release wakes it (a
// system call), and a thread that finds the lock taken sleeps until it is
// woken, some 10 us on a virtual machine.  So two threads calling normalize
// on texts of a few hundred nanoseconds lose more than they gain by giving
// the lock up, and on Wikipedia paragraphs of about 2 us they gain (1.6 with
// two threads, measured by bench/bench_ratios.py).
//
// What costs most is a thread that alternates: a call that keeps the lock
// through a microsecond of work makes the other thread, back from its own
// work without the lock, sleep until woken.  Keeping it for the shorter
// texts and giving it up for the longer ones did that to Wikipedia
// paragraphs, a mix of both: two threads were no faster than one.  So a
// thread decides by the lengths of its recent texts, not of the one text:
// one whose texts have been long gives up the lock for every text, one whose
// texts have been short keeps it, and the two limits lie apart so that a
// thread near them does not switch back and forth.  A text long enough to
// keep other threads waiting far longer than a wake-up is normalized without
// the lock whatever came before it.
#pragma once

#include <algorithm>
#include <cstddef>

namespace zenkor::py {

class LockPolicy {
 public:
  // Texts of at least this many characters always run without the lock
  // (about 10 us of for_search).
  static constexpr std::size_t ALWAYS_FROM = 1024;
  // A thread starts giving up the lock once its recent texts average this
  // many characters, and keeps it again once they average fewer than
  // HOLD_BELOW.
  static constexpr std::size_t RELEASE_FROM = 96;
  static constexpr std::size_t HOLD_BELOW = 64;

  // Whether a call on a text of `length` characters runs without the lock;
  // counts the text among the recent ones.
  bool releases_for(std::size_t length) noexcept {
    // A running average over about the last eight texts, kept as eight
    // times its value; a very long text counts as ALWAYS_FROM, so that a
    // thread that met one soon decides by its short texts again.
    recent_ = recent_ - recent_ / WEIGHT + std::min(length, ALWAYS_FROM);
    const std::size_t average = recent_ / WEIGHT;
    if (average >= RELEASE_FROM) releasing_ = true;
    if (average < HOLD_BELOW) releasing_ = false;
    return releasing_ || length >= ALWAYS_FROM;
  }

 private:
  static constexpr std::size_t WEIGHT = 8;
  std::size_t recent_ = 0;  // WEIGHT times the running average length
  bool releasing_ = false;
};

// The calling thread's policy.
inline LockPolicy& thread_lock_policy() noexcept {
  thread_local LockPolicy policy;
  return policy;
}

}  // namespace zenkor::py
