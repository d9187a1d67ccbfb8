// When a call on one text gives up the interpreter lock (normalize and the
// traced calls; batches and Arrow columns decide by their whole size).
//
// Giving the lock up and taking it back costs about 45 ns while no other
// thread waits for it.  When another one waits, each release wakes it (a
// system call), and a thread that finds the lock taken sleeps until it is
// woken, some 10 us on a virtual machine.  Measured with two threads per
// call on Wikipedia paragraphs: for_search (2.1 us a call) gains 1.6 by
// giving the lock up and nothing by keeping it; neologdn_compat (0.95 us)
// gains a little; NFKC alone (0.65 us) the same either way; for_display
// (0.23 us, most paragraphs left as they are) falls to 0.4 by giving it up,
// against 0.8 by keeping it; tweets under for_search (0.45 us) to 0.8,
// against 0.96.
//
// What costs most is a thread that alternates: a call that keeps the lock
// through a microsecond of work makes the other thread, back from its own
// work without the lock, sleep until woken.  Deciding by each text's own
// length did that to Wikipedia paragraphs, a mix of lengths: two threads
// were no faster than one.  So a thread decides by how long its recent calls
// took: one whose calls have taken RELEASE_FROM on average gives up the lock
// for every text, one whose calls have taken under HOLD_BELOW keeps it, and
// in between it keeps what it did, so that a thread near the limits does not
// switch back and forth.  The limits lie above where two threads start to
// gain (about 0.8 us), since a thread alone pays about 60 ns for each
// release: 4% at most.  A thread times its first few calls, then one in
// SAMPLE_EVERY (the clock costs about 25 ns a reading, too much for every
// call on a clean tweet).  A text long enough to keep other threads waiting
// well past a wake-up is normalized without the lock whatever came before.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zenkor::py {

// `Clock` is a stand-in in tests.
template <typename Clock = std::chrono::steady_clock>
class BasicLockPolicy {
 public:
  static constexpr std::size_t ALWAYS_FROM = 1024;  // characters
  static constexpr std::chrono::nanoseconds RELEASE_FROM{1500};
  static constexpr std::chrono::nanoseconds HOLD_BELOW{1000};
  static constexpr unsigned WARM_UP = 8;
  static constexpr unsigned SAMPLE_EVERY = 128;

  // Whether a call on a text of `length` characters runs without the lock.
  [[nodiscard]] bool releases(std::size_t length) const noexcept { return releasing_ || length >= ALWAYS_FROM; }

  // Runs `work` (the call's work, without taking or giving back the lock),
  // timing it if it is a call to sample: each of the thread's first calls
  // but the very first (which pays for cold caches), so that a new thread
  // soon decides, then one in SAMPLE_EVERY.
  // (`work` is called in one place, so that it is inlined.  The next call
  // to time is set before it runs, so that one that throws does not stop
  // the sampling.)
  template <typename Work>
  void run(Work&& work) {
    const bool timed = --until_timed_ == 0;
    if (timed) {
      if (timed_ < WARM_UP) ++timed_;
      until_timed_ = timed_ < WARM_UP ? 1 : SAMPLE_EVERY;
    }
    const typename Clock::time_point start = timed ? Clock::now() : typename Clock::time_point{};
    work();
    if (timed) took(Clock::now() - start);
  }

  // Counts a sampled call that took `time`.
  void took(typename Clock::duration time) noexcept {
    // A running average over about the last WEIGHT samples, kept as WEIGHT
    // times its value in nanoseconds and started by the first; a very long
    // call counts as CAP, so that a thread that met one soon decides by its
    // usual calls again.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time).count();
    const auto sample = static_cast<std::uint64_t>(std::clamp<std::int64_t>(ns, 0, CAP.count()));
    recent_ = sampled_ ? recent_ - recent_ / WEIGHT + sample : sample * WEIGHT;
    sampled_ = true;
    const std::chrono::nanoseconds average{static_cast<std::int64_t>(recent_ / WEIGHT)};
    if (average >= RELEASE_FROM) releasing_ = true;
    if (average < HOLD_BELOW) releasing_ = false;
  }

 private:
  static constexpr std::uint64_t WEIGHT = 4;
  static constexpr std::chrono::nanoseconds CAP{10'000};
  std::uint64_t recent_ = 0;  // WEIGHT times the running average, in ns
  unsigned until_timed_ = 2;  // calls until the next timed one, this one included
  unsigned timed_ = 0;        // calls timed, up to WARM_UP
  bool sampled_ = false;
  bool releasing_ = false;
};

using LockPolicy = BasicLockPolicy<>;

// The calling thread's policy.
inline LockPolicy& thread_lock_policy() noexcept {
  thread_local LockPolicy policy;
  return policy;
}

}  // namespace zenkor::py
