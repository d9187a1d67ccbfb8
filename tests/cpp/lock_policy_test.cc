// When a thread gives up the interpreter lock: by how long its sampled calls
// took, with a margin between giving it up and keeping it, and always for a
// very long text.  A stand-in clock makes every timed call take as long as
// the test says.

#include "py/lock_policy.h"

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "tests/cpp/check.h"

namespace {

// Each reading is `step` later than the one before.
struct FakeClock {
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<FakeClock>;
  static constexpr bool is_steady = true;
  static inline duration step{0};
  static inline int readings = 0;
  static time_point now() noexcept {
    ++readings;
    static time_point t{};
    t += step;
    return t;
  }
};

using Policy = zenkor::py::BasicLockPolicy<FakeClock>;

// Calls well past the limits, and between them.
constexpr std::chrono::nanoseconds SLOW = 2 * Policy::RELEASE_FROM;
constexpr std::chrono::nanoseconds QUICK = Policy::HOLD_BELOW / 4;
constexpr std::chrono::nanoseconds MIDDLE = (Policy::HOLD_BELOW + Policy::RELEASE_FROM) / 2;
constexpr std::chrono::nanoseconds SPREAD = (Policy::RELEASE_FROM - Policy::HOLD_BELOW) / 5;

// Feeds samples of `time` until the policy decides `releasing`; the number
// of samples, or -1 after 1,000.
int samples_until(Policy& policy, std::chrono::nanoseconds time, bool releasing) {
  for (int n = 1; n <= 1000; ++n) {
    policy.took(time);
    if (policy.releases(0) == releasing) return n;
  }
  return -1;
}

// The decisions after each of `times`.
std::vector<bool> decisions(Policy& policy, const std::vector<std::chrono::nanoseconds>& times) {
  std::vector<bool> out;
  for (const auto time : times) {
    policy.took(time);
    out.push_back(policy.releases(0));
  }
  return out;
}

void test_a_new_thread_keeps_the_lock_but_for_very_long_texts() {
  const Policy policy;
  CHECK(!policy.releases(0));
  CHECK(!policy.releases(Policy::ALWAYS_FROM - 1));
  CHECK(policy.releases(Policy::ALWAYS_FROM));
  CHECK(policy.releases(SIZE_MAX));
}

void test_slow_calls_release_and_quick_ones_keep_it() {
  Policy policy;
  CHECK(samples_until(policy, SLOW, true) == 1);  // the first sample starts the average
  CHECK(policy.releases(1));                      // whatever the length
  const int to_quick = samples_until(policy, QUICK, false);
  CHECK(to_quick > 1 && to_quick <= 8);
  const int to_slow = samples_until(policy, SLOW, true);
  CHECK(to_slow >= 1 && to_slow <= 4);
}

void test_between_the_limits_the_decision_stays() {
  const std::vector<std::chrono::nanoseconds> between = {
      MIDDLE - 2 * SPREAD, MIDDLE + 2 * SPREAD, MIDDLE - SPREAD, MIDDLE + SPREAD, MIDDLE, MIDDLE,
      MIDDLE - 2 * SPREAD, MIDDLE + 2 * SPREAD};
  Policy holding;
  CHECK(samples_until(holding, MIDDLE, false) == 1);
  CHECK(decisions(holding, between) == std::vector<bool>(between.size(), false));
  Policy releasing;
  CHECK(samples_until(releasing, Policy::RELEASE_FROM, true) == 1);
  CHECK(decisions(releasing, between) == std::vector<bool>(between.size(), true));
}

void test_one_very_long_call_weighs_as_the_cap() {
  Policy policy;
  CHECK(samples_until(policy, QUICK, false) == 1);
  policy.took(std::chrono::hours(1));
  CHECK(policy.releases(0));
  const int to_quick = samples_until(policy, QUICK, false);
  CHECK(to_quick > 1 && to_quick <= 12);
}

void test_the_first_calls_then_one_in_so_many_are_timed() {
  Policy policy;
  FakeClock::step = SLOW;
  FakeClock::readings = 0;
  int ran = 0;
  policy.run([&] { ++ran; });
  CHECK(FakeClock::readings == 0);  // the first call pays for cold caches: not timed
  CHECK(!policy.releases(0));
  policy.run([&] { ++ran; });
  CHECK(FakeClock::readings == 2);
  CHECK(policy.releases(0));  // the second was slow
  const int calls = 4 * static_cast<int>(Policy::SAMPLE_EVERY);
  for (int i = 2; i < calls; ++i) policy.run([&] { ++ran; });
  CHECK(ran == calls);
  // Calls 1 to WARM_UP (counting from 0), then one in SAMPLE_EVERY: three more.
  CHECK(FakeClock::readings == 2 * static_cast<int>(Policy::WARM_UP + 3));
  FakeClock::step = QUICK;
  for (int i = 0; i < 20 * static_cast<int>(Policy::SAMPLE_EVERY); ++i) policy.run([] {});
  CHECK(!policy.releases(0));
}

void test_a_call_that_throws_leaves_the_sampling_going() {
  Policy policy;
  FakeClock::step = SLOW;
  FakeClock::readings = 0;
  policy.run([] {});  // not timed
  try {
    policy.run([] { throw std::runtime_error("out of memory"); });  // timed, never finished
  } catch (const std::runtime_error&) {
  }
  CHECK(FakeClock::readings == 1);
  policy.run([] {});  // still in the warm-up: timed
  CHECK(FakeClock::readings == 3);
  CHECK(policy.releases(0));
}

}  // namespace

int main() {
  test_a_new_thread_keeps_the_lock_but_for_very_long_texts();
  test_slow_calls_release_and_quick_ones_keep_it();
  test_between_the_limits_the_decision_stays();
  test_one_very_long_call_weighs_as_the_cap();
  test_the_first_calls_then_one_in_so_many_are_timed();
  test_a_call_that_throws_leaves_the_sampling_going();
  return zenkor::test::finish();
}
