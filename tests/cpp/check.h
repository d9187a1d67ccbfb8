// A minimal check harness for the C++ tests: CHECK records a failure with its
// location and goes on; finish() prints the summary line and gives the exit
// code; hex() spells out the bytes of a failing input.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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

// `bytes` as hex pairs ("E3 81 82"), for inputs that are not valid UTF-8 or
// hold invisible characters.
inline std::string hex(std::string_view bytes) {
  std::string out;
  for (const char b : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(b));
    out += pair;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

inline int finish() {
  std::printf("%d passed, %d failed\n", passed(), failed());
  return failed() == 0 ? 0 : 1;
}

}  // namespace zenkor::test

#define CHECK(...) ::zenkor::test::check((__VA_ARGS__), #__VA_ARGS__, __FILE__, __LINE__)
