// What the fuzz harnesses share: a check that stops the run with a report
// libFuzzer records as a finding, a limit on the time one input may take,
// and the gate every outside text passes.
#pragma once

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text/utf8_validate.h"

namespace zenkor::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

// Slow inputs are findings too: one input may take at most a second of this
// thread's CPU time.  CPU time, not the wall-clock time libFuzzer's -timeout
// counts, so that a run at low priority on a busy machine reports no input
// that merely waited for a core.
class CpuBudget {
 public:
  CpuBudget() noexcept : start_(now()) {}
  CpuBudget(const CpuBudget&) = delete;
  CpuBudget& operator=(const CpuBudget&) = delete;
  ~CpuBudget() {
    if (now() - start_ > 1.0) fail("the input took more than 1 s of CPU time", __FILE__, __LINE__);
  }

 private:
  static double now() noexcept {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  }
  double start_;
};

// The library takes only valid UTF-8 (the binding and the file reader make
// sure of it); fuzz bytes reach it the same way, ill-formed parts replaced.
inline std::string valid_text(std::string_view bytes) {
  std::string text = text::utf8::is_valid(bytes) ? std::string(bytes) : text::utf8::to_valid_lossy(bytes);
  if (!text::utf8::is_valid(text)) fail("to_valid_lossy gives valid UTF-8", __FILE__, __LINE__);
  return text;
}

}  // namespace zenkor::fuzz

#define FUZZ_CHECK(...) ((__VA_ARGS__) ? void(0) : ::zenkor::fuzz::fail(#__VA_ARGS__, __FILE__, __LINE__))
