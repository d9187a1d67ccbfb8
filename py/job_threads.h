// The threads a call with `jobs` starts beside the caller's own, shared by
// normalize_arrow and normalize_batch: how many at most, how finely the work
// is cut for them, and their start and join.  No Python here.
#pragma once

#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace zenkor::py {

// The most threads one call is shared by: more jobs than this count as this
// many, before anything is computed from them.
inline constexpr std::size_t MAX_JOBS = 1024;

// Work shared by jobs > 1 threads is cut into about this many tasks per
// thread, so that threads that finish early take over the rest.
inline constexpr std::size_t TASKS_PER_JOB = 4;

// Threads that each run work(k), k from 1 to `count`, beside the caller's
// (which is thread 0), joined when this goes out of scope.  A thread that
// cannot be started leaves its share to the others, the caller's among them.
// Each thread runs a copy of `work`.  REQUIRES: what `work` refers to
// outlives this, and work(k) throws nothing.
class HelperThreads {
 public:
  template <typename Work>
  HelperThreads(std::size_t count, const Work& work) {
    threads_.reserve(count);
    for (std::size_t k = 1; k <= count; ++k) {
      try {
        threads_.emplace_back([work, k] { work(k); });
      } catch (const std::exception&) {  // std::system_error, or std::bad_alloc for the thread's state
        break;
      }
    }
  }
  HelperThreads(const HelperThreads&) = delete;
  HelperThreads& operator=(const HelperThreads&) = delete;
  ~HelperThreads() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace zenkor::py
