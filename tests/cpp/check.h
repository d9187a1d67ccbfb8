// A minimal check harness for the C++ tests: CHECK records a failure with its
// location and goes on; finish() prints the summary line and gives the exit code.
#pragma once

#include <cstdio>

namespace zenkor::test {

inline int& passed() {
  static int n = 0;
  return n;
}
inline int& failed() {
  static int n = 0;
  return n;
}

inline bool check(bool ok, const char* what, const char* file, int line) {
  if (ok) {
    ++passed();
  } else {
    ++failed();
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  }
  return ok;
}

inline int finish() {
  std::printf("%d passed, %d failed\n", passed(), failed());
  return failed() == 0 ? 0 : 1;
}

}  // namespace zenkor::test

#define CHECK(...) ::zenkor::test::check((__VA_ARGS__), #__VA_ARGS__, __FILE__, __LINE__)
