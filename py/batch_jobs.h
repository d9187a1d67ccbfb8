// normalize_batch with jobs > 1: the chunks of one batch normalized by the
// caller's thread and helper threads at once, each chunk by the thread that
// takes it first, while the caller takes the results in order and makes
// them into str objects (with the lock, elsewhere).  No Python here.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/code_units.h"
#include "core/pipeline.h"
#include "py/job_threads.h"
#include "py/text_work.h"

namespace zenkor::py {

// Chunks under this many characters are not cut for more threads: starting
// a thread costs about as much as normalizing that many.
inline constexpr std::size_t MIN_SHARED_CHUNK_CHARS = std::size_t{1} << 14;

class SharedBatch {
 public:
  // texts[first, last) and what normalize_chunk made of them.
  struct Chunk {
    std::size_t first = 0;
    std::size_t last = 0;
    std::vector<Changed> changed;
    std::string joined;
    std::size_t unencodable = UNCHANGED;  // as normalize_chunk returns it
    std::exception_ptr thrown;            // what normalizing it threw (memory ran out)
    bool done = false;                    // under done_lock_
  };

  // Cuts `texts`, which hold `total` characters, into chunks of about equal
  // characters (TASKS_PER_JOB for each of `jobs` threads, from
  // MIN_SHARED_CHUNK_CHARS to BATCH_CHUNK_CHARS) and starts up to jobs - 1
  // helper threads on them.
  // REQUIRES: `normalizer` and `texts` outlive this; texts is not empty.
  SharedBatch(const Normalizer& normalizer, const std::vector<CodeUnits>& texts, std::size_t total, std::size_t jobs);
  SharedBatch(const SharedBatch&) = delete;
  SharedBatch& operator=(const SharedBatch&) = delete;
  // No chunk not yet taken is started; returns once the helpers have ended.
  ~SharedBatch();

  [[nodiscard]] std::size_t chunks() const noexcept { return count_; }

  // Chunk k, once it is done; until then the calling thread normalizes
  // chunks nobody has taken yet.  A chunk with a lone surrogate or an
  // exception stops the others from taking more: what comes after it is
  // not needed.  REQUIRES: no chunk before k failed.
  [[nodiscard]] const Chunk& wait_for(std::size_t k);

  // Gives back the buffers of chunk k, whose results have been taken.
  void release(std::size_t k) noexcept;

 private:
  // Normalizes the next chunk nobody has taken; false when none is left.
  bool normalize_next() noexcept;

  const Normalizer& normalizer_;
  const std::vector<CodeUnits>& texts_;
  std::size_t count_ = 0;
  std::unique_ptr<Chunk[]> chunks_;
  std::atomic<std::size_t> next_{0};
  // A mutex and a condition variable rather than waiting on an atomic, which
  // older macOS versions lack.
  std::mutex done_lock_;
  std::condition_variable chunk_done_;
  std::optional<HelperThreads> helpers_;
};

}  // namespace zenkor::py
