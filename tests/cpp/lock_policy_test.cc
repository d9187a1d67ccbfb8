// When a thread gives up the interpreter lock: by the lengths of its recent
// texts, with a margin between giving it up and keeping it, and always for a
// very long text.

#include "py/lock_policy.h"

#include <cstddef>
#include <vector>

#include "tests/cpp/check.h"

namespace {

using zenkor::py::LockPolicy;

// The decisions for `lengths`, one after the other.
std::vector<bool> decisions(LockPolicy& policy, const std::vector<std::size_t>& lengths) {
  std::vector<bool> out;
  for (const std::size_t length : lengths) out.push_back(policy.releases_for(length));
  return out;
}

// The number of calls on texts of `length` before the policy decides `wanted`.
int calls_until(LockPolicy& policy, std::size_t length, bool wanted) {
  for (int n = 1; n <= 1000; ++n) {
    if (policy.releases_for(length) == wanted) return n;
  }
  return -1;
}

void test_a_new_thread_keeps_the_lock_but_for_very_long_texts() {
  LockPolicy policy;
  CHECK(!policy.releases_for(0));
  CHECK(!policy.releases_for(500));  // one such text is not yet a habit
  LockPolicy other;
  CHECK(other.releases_for(LockPolicy::ALWAYS_FROM));
  CHECK(LockPolicy().releases_for(SIZE_MAX));
}

void test_a_thread_of_long_texts_releases_for_its_short_ones_too() {
  LockPolicy policy;
  const int warm_up = calls_until(policy, 200, true);
  CHECK(warm_up > 1 && warm_up <= 10);
  // Paragraphs of all lengths, as in Wikipedia text: none keeps the lock.
  const std::vector<bool> mixed = decisions(policy, {200, 80, 150, 90, 300, 100, 160, 120, 500});
  CHECK(mixed == std::vector<bool>(mixed.size(), true));
}

void test_a_thread_of_short_texts_keeps_the_lock_for_its_longer_ones() {
  LockPolicy policy;
  const std::vector<bool> tweets = decisions(policy, {20, 30, 140, 25, 15, 200, 40, 30, 10, 120});
  CHECK(tweets == std::vector<bool>(tweets.size(), false));
}

void test_between_the_limits_the_decision_stays() {
  // Texts averaging 80 characters: above HOLD_BELOW, below RELEASE_FROM.
  const std::vector<std::size_t> between = {60, 100, 70, 90, 80, 80, 60, 100, 70, 90, 80, 80};
  LockPolicy holding;
  (void)decisions(holding, {80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80});
  CHECK(decisions(holding, between) == std::vector<bool>(between.size(), false));
  LockPolicy releasing;
  CHECK(calls_until(releasing, 400, true) > 0);
  (void)decisions(releasing, {80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80, 80});
  CHECK(decisions(releasing, between) == std::vector<bool>(between.size(), true));
}

void test_the_thread_follows_a_change_of_texts() {
  LockPolicy policy;
  CHECK(calls_until(policy, 300, true) > 0);
  const int to_short = calls_until(policy, 20, false);
  CHECK(to_short > 1 && to_short <= 20);
  const int to_long = calls_until(policy, 300, true);
  CHECK(to_long > 1 && to_long <= 10);
}

void test_one_huge_text_weighs_as_a_very_long_one() {
  LockPolicy policy;
  CHECK(policy.releases_for(SIZE_MAX));
  CHECK(policy.releases_for(SIZE_MAX / 2));
  // Short texts after it hold the lock again within about twenty calls,
  // as they would after texts of ALWAYS_FROM characters.
  const int to_short = calls_until(policy, 10, false);
  CHECK(to_short > 1 && to_short <= 30);
}

}  // namespace

int main() {
  test_a_new_thread_keeps_the_lock_but_for_very_long_texts();
  test_a_thread_of_long_texts_releases_for_its_short_ones_too();
  test_a_thread_of_short_texts_keeps_the_lock_for_its_longer_ones();
  test_between_the_limits_the_decision_stays();
  test_the_thread_follows_a_change_of_texts();
  test_one_huge_text_weighs_as_a_very_long_one();
  return zenkor::test::finish();
}
