// The chunks of a shared batch: cut, taken in turn, waited for in order.

#include "py/batch_jobs.h"

#include <algorithm>

namespace zenkor::py {

SharedBatch::SharedBatch(const Normalizer& normalizer, const std::vector<CodeUnits>& texts, std::size_t total,
                         std::size_t jobs)
    : normalizer_(normalizer), texts_(texts) {
  const std::size_t chars =
      std::clamp(total / (std::min(jobs, MAX_JOBS) * TASKS_PER_JOB), MIN_SHARED_CHUNK_CHARS, BATCH_CHUNK_CHARS);
  std::vector<std::size_t> starts;
  for (std::size_t first = 0; first < texts.size(); first = chunk_end(texts, first, chars)) starts.push_back(first);
  count_ = starts.size();
  chunks_ = std::make_unique<Chunk[]>(count_);
  for (std::size_t k = 0; k < count_; ++k) {
    chunks_[k].first = starts[k];
    chunks_[k].last = k + 1 < count_ ? starts[k + 1] : texts.size();
  }
  const auto help = [this](std::size_t) noexcept {
    while (normalize_next()) {
    }
  };
  helpers_.emplace(std::min(jobs, count_) - 1, help);
}

SharedBatch::~SharedBatch() {
  next_.store(count_);
  helpers_.reset();
}

bool SharedBatch::normalize_next() noexcept {
  const std::size_t k = next_.fetch_add(1);
  if (k >= count_) return false;
  Chunk& chunk = chunks_[k];
  try {
    chunk.unencodable = normalize_chunk(normalizer_, texts_, chunk.first, chunk.last, chunk.changed, chunk.joined);
  } catch (...) {
    chunk.thrown = std::current_exception();
  }
  if (chunk.thrown || chunk.unencodable != UNCHANGED) next_.store(count_);
  {
    const std::lock_guard<std::mutex> lock(done_lock_);
    chunk.done = true;
  }
  chunk_done_.notify_all();
  return true;
}

const SharedBatch::Chunk& SharedBatch::wait_for(std::size_t k) {
  Chunk& chunk = chunks_[k];
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(done_lock_);
      if (chunk.done) return chunk;
    }
    if (!normalize_next()) {
      std::unique_lock<std::mutex> lock(done_lock_);
      chunk_done_.wait(lock, [&chunk] { return chunk.done; });
      return chunk;
    }
  }
}

void SharedBatch::release(std::size_t k) noexcept {
  std::vector<Changed>().swap(chunks_[k].changed);
  std::string().swap(chunks_[k].joined);
}

}  // namespace zenkor::py
