// The rows cut into tasks, the threads that take them in turn, and the
// pieces they produce assembled into one column per input array.

#include "py/arrow_normalize.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>

namespace zenkor::arrow {

namespace {

// Rows [begin, end) of one array: what one thread normalizes at a time.
struct Task {
  std::size_t array;
  std::int64_t begin;
  std::int64_t end;
};

// With jobs > 1 the rows are cut into tasks of about equal bytes
// (TASKS_PER_JOB of them per thread), none under 16 KB: starting a thread
// costs about as much as normalizing that.
constexpr std::uint64_t MIN_TASK_BYTES = 16 * 1024;

// Buffers are reserved from the input's size, up to this much: offsets not
// yet checked may claim anything.
constexpr std::uint64_t MAX_RESERVE = std::uint64_t{1} << 28;

std::vector<Task> cut_tasks(const std::vector<StringArray>& arrays, std::size_t jobs) {
  std::vector<Task> tasks;
  if (jobs == 1) {
    for (std::size_t a = 0; a < arrays.size(); ++a) tasks.push_back({a, 0, arrays[a].length()});
    return tasks;
  }
  std::uint64_t total = 0;
  for (const StringArray& array : arrays) total += array.bytes_hint(0, array.length());
  const std::uint64_t target = std::max(total / (jobs * zenkor::py::TASKS_PER_JOB), MIN_TASK_BYTES);
  for (std::size_t a = 0; a < arrays.size(); ++a) {
    const std::int64_t length = arrays[a].length();
    std::int64_t begin = 0;
    std::uint64_t bytes = 0;
    for (std::int64_t i = 0; i < length; ++i) {
      bytes += arrays[a].bytes_hint(i, i + 1);
      if (bytes >= target) {
        tasks.push_back({a, begin, i + 1});
        begin = i + 1;
        bytes = 0;
      }
    }
    if (begin < length || length == 0) tasks.push_back({a, begin, length});
  }
  return tasks;
}

// Runs `work` on `count` threads, this one among them, and rethrows what
// the first of them threw.
template <typename Work>
void run_on_threads(std::size_t count, const Work& work) {
  std::vector<std::exception_ptr> thrown(count);
  const auto helper = [&](std::size_t k) noexcept { thrown[k] = work(); };
  {
    const zenkor::py::HelperThreads helpers(count - 1, helper);
    thrown[0] = work();
  }
  for (const std::exception_ptr& e : thrown) {
    if (e) std::rethrow_exception(e);
  }
}

// One column for each of the first `arrays` arrays, from the pieces of its
// tasks in order.
Result<Columns, ArrowError> assemble_columns(StringType type, std::size_t arrays, const std::vector<Task>& tasks,
                                             std::vector<Piece>& pieces) {
  Columns columns;
  std::size_t t = 0;
  for (std::size_t a = 0; a < arrays; ++a) {
    std::vector<Piece> own;
    for (; t < tasks.size() && tasks[t].array == a; ++t) own.push_back(std::move(pieces[t]));
    auto column = StringColumn::assemble(type, std::move(own), max_offset(type));
    if (!column.ok()) return std::move(column).error();
    columns.push_back(std::move(column).value());
  }
  return columns;
}

}  // namespace

Result<Columns, ArrowError> normalize_arrays(const Normalizer& normalizer, StringType type,
                                             const std::vector<StringArray>& arrays, std::size_t jobs) {
  jobs = std::min(jobs, zenkor::py::MAX_JOBS);  // cut_tasks multiplies it
  const std::vector<Task> tasks = cut_tasks(arrays, jobs);
  std::vector<std::int64_t> first_rows;  // of each array, in the whole column
  std::int64_t rows = 0;
  for (const StringArray& array : arrays) {
    first_rows.push_back(rows);
    rows += array.length();
  }
  std::vector<Piece> pieces(tasks.size());
  std::vector<Result<void, ArrowError>> reads(tasks.size());
  std::atomic<std::size_t> next{0};
  // Tasks past a failed one need not run: the error reported is the first
  // in row order, and every task before it has been taken already.
  std::atomic<std::size_t> first_failed{tasks.size()};
  const auto fail_from = [&](std::size_t t) {
    std::size_t seen = first_failed.load();
    while (t < seen && !first_failed.compare_exchange_weak(seen, t)) {
    }
  };
  const auto work = [&]() noexcept -> std::exception_ptr {
    try {
      Workspace space;
      for (std::size_t t = next++; t < tasks.size() && t < first_failed.load(); t = next++) {
        const Task& task = tasks[t];
        const StringArray& array = arrays[task.array];
        Piece& piece = pieces[t];
        piece.lengths.reserve(static_cast<std::size_t>(task.end - task.begin));
        piece.data.reserve(std::min(array.bytes_hint(task.begin, task.end), MAX_RESERVE));
        reads[t] = array.read(task.begin, task.end, first_rows[task.array], [&](std::optional<std::string_view> value) {
          if (value) {
            piece.append(normalizer.normalize(*value, space));
          } else {
            piece.append_null();
          }
        });
        if (!reads[t].ok()) fail_from(t);
      }
      return nullptr;
    } catch (...) {
      fail_from(0);  // the others stop soon: this call fails anyway
      return std::current_exception();
    }
  };
  // This thread works too.
  run_on_threads(std::max<std::size_t>(1, std::min(jobs, tasks.size())), work);
  for (Result<void, ArrowError>& read : reads) {
    if (!read.ok()) return std::move(read).error();
  }
  return assemble_columns(type, arrays.size(), tasks, pieces);
}

}  // namespace zenkor::arrow
