#!/bin/sh
# Builds the core and the race test (tests/race) under ThreadSanitizer and
# runs it: 8 threads on one normalizer with the large synonym dictionary,
# every call of the binding's paths, each output checked against a
# single-threaded run.  Fails on any ThreadSanitizer report or differing
# output.  Installs clang with apt-get when no compiler here can build with
# -fsanitize=thread.
#
#   sh scripts/race.sh [race_test options, e.g. --threads 16 --rounds 3]
#
# CXX_RACE names the compiler to use (default clang++, else g++);
# RACE_BUILD_DIR another build folder than build/race.
# Exit status 77: no compiler with ThreadSanitizer could be installed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${RACE_BUILD_DIR:-$root/build/race}

# A threaded program that links and runs under ThreadSanitizer: proof that
# the toolchain and its runtime are complete.
tsan_works() {
  command -v "$1" >/dev/null 2>&1 || return 1
  probe=$(mktemp -d)
  printf '#include <thread>\nint main() { int x = 0; std::thread t([&] { x = 1; }); t.join(); return x - 1; }\n' >"$probe/p.cc"
  "$1" -std=c++20 -fsanitize=thread "$probe/p.cc" -o "$probe/p" >/dev/null 2>&1 && run_unrandomized "$probe/p" >/dev/null 2>&1
  status=$?
  rm -rf "$probe"
  return $status
}

# ThreadSanitizer's runtime (clang 14, gcc 12) refuses the address space
# layouts that newer kernels randomize with more bits; without randomization
# it maps its shadow where it expects.
run_unrandomized() {
  if command -v setarch >/dev/null 2>&1 && setarch "$(uname -m)" -R true 2>/dev/null; then
    setarch "$(uname -m)" -R "$@"
  else
    "$@"
  fi
}

cxx=${CXX_RACE:-}
if [ -z "$cxx" ]; then
  for candidate in clang++ g++; do
    if tsan_works "$candidate"; then
      cxx=$candidate
      break
    fi
  done
fi
if [ -z "$cxx" ]; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "race.sh needs clang or g++ with ThreadSanitizer (Debian: clang)" >&2
    exit 77
  fi
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null || true
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
    clang >/dev/null || exit 77
  cxx=clang++
  tsan_works "$cxx" || exit 77
fi

sanitize="-fsanitize=thread -fno-omit-frame-pointer"
generator=""
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/CMakeCache.txt" ]; then generator="-G Ninja"; fi
# $generator is empty or two words: left unquoted on purpose.
# -O1 with line tables, as for the fuzzing build: quick to build, and
# reports name file and line.
cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DZENKOR_BUILD_RACE=ON >/dev/null
cmake --build "$build" -j 2 --target race_test

# The corpus and the synonym file where tests/shared_data.py finds them.
eval "$(python3 "$root/tests/shared_data.py")"
log="$build/race.log"
set +e
TSAN_OPTIONS="exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  run_unrandomized "$build/tests/race/race_test" "$synonyms" "$corpus" "$@" >"$log" 2>&1
status=$?
set -e
reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ]; then
  head -n 80 "$log" >&2
  echo "race: $reports ThreadSanitizer reports, exit status $status; the whole log is $log" >&2
  exit 1
fi
cat "$log"
echo "race: 0 ThreadSanitizer reports"
