// What the fuzz harnesses share: a check that stops the run with a report
// libFuzzer records as a finding, and the gate every outside text passes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/utf8.h"

namespace zenkor::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

// The library takes only valid UTF-8 (the binding and the file reader make
// sure of it); fuzz bytes reach it the same way, ill-formed parts replaced.
inline std::string valid_text(std::string_view bytes) {
  std::string text = utf8::is_valid(bytes) ? std::string(bytes) : utf8::to_valid_lossy(bytes);
  if (!utf8::is_valid(text)) fail("to_valid_lossy gives valid UTF-8", __FILE__, __LINE__);
  return text;
}

}  // namespace zenkor::fuzz

#define FUZZ_CHECK(...) ((__VA_ARGS__) ? void(0) : ::zenkor::fuzz::fail(#__VA_ARGS__, __FILE__, __LINE__))
