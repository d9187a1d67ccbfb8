#!/bin/sh
# Builds the core, the libFuzzer harnesses (tests/fuzz) and the C++ unit tests
# (tests/cpp) with clang under AddressSanitizer and UndefinedBehaviorSanitizer,
# runs the unit tests, then runs each harness for a bounded time.  Fails on
# any sanitizer report, crash, leak, failed check, or input that takes more
# than a second of CPU time (the harnesses check that; libFuzzer's wall-clock
# -timeout only catches hangs, so that a low-priority run on a busy machine
# reports no input that merely waited).  Installs clang and libFuzzer with
# apt-get when they are missing.
#
#   sh scripts/fuzz.sh [SECONDS_PER_HARNESS]      (default 30)
#
# CXX_FUZZ names the clang++ to use; FUZZ_BUILD_DIR another build folder than
# build/fuzz, for instance to run the suite while a long run goes on;
# FUZZ_JOBS how many harnesses run at once (default 1; one a core for a long
# run); FUZZ_HARNESSES which of them run (default all four).  The corpus grows in the folder's corpus/ and is reused by later
# runs; findings are written to its findings/.
# Exit status 77: clang could not be installed.
set -eu

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++}

# A program that links against libFuzzer: proof that the toolchain is complete.
fuzzer_links() {
  command -v "$cxx" >/dev/null 2>&1 || return 1
  probe=$(mktemp -d)
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cc"
  "$cxx" -fsanitize=fuzzer,address,undefined "$probe/p.cc" -o "$probe/p" >/dev/null 2>&1
  status=$?
  rm -rf "$probe"
  return $status
}

if ! fuzzer_links; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "fuzz.sh needs clang with libFuzzer (Debian: clang libclang-rt-14-dev)" >&2
    exit 77
  fi
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # The runtime package is named after the compiler's major version.
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q >/dev/null || true
  version=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends \
    clang ${version:+libclang-rt-$version-dev} >/dev/null || exit 77
  fuzzer_links || exit 77
fi

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
generator=""
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/CMakeCache.txt" ]; then generator="-G Ninja"; fi
# $generator is empty or two words: left unquoted on purpose.
# -O1 with line tables: builds in half the time of -O2 -g, runs as fast under
# the sanitizers, and reports still name file and line.
cmake -S "$root" -B "$build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
  -DZENKOR_BUILD_TESTS=ON -DZENKOR_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j 2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$build/tests/cpp" && ctest --output-on-failure)

# Seeds: the checked-in cases, and samples of real text where
# tests/shared_data.py finds it (shared/data beside the checkout, or else the
# corpus sample under bench/data and the tests' small synonym file).
eval "$(python3 "$root/tests/shared_data.py")"
seeds="$build/seeds"
rm -rf "$seeds"
cp -R "$root/tests/fuzz/seeds" "$seeds"
# About a hundred lines of each corpus file, one seed each, for the normalizer,
# for levenshtein (which cuts each in two) and for the Arrow harness (which
# takes its values from the front of the input and its choices from the end).
for file in "$corpus"/*.txt; do
  [ -f "$file" ] || continue
  step=$(($(wc -l <"$file") / 100 + 1))
  awk -v out="$seeds" -v name="$(basename "$file" .txt)" -v step="$step" 'NR % step == 1 && length($0) < 4000 {
    f = out "/normalizer_fuzz/" name "-" NR; print > f; close(f)
    f = out "/levenshtein_fuzz/" name "-" NR; print > f; close(f)
    f = out "/arrow_fuzz/" name "-" NR; print > f; close(f)
  }' "$file"
done
# Pieces of the synonym file for its reader (first byte 4) and for the
# delimited reader (first byte 1).
if [ -f "$synonyms" ]; then
  for skip in 0 1 2 3 5 8 13 21 34 55 89 144 233 377 610; do
    piece=$(dd if="$synonyms" bs=4000 skip="$skip" count=1 2>/dev/null)
    [ -n "$piece" ] || break
    printf '\004%s\n' "$piece" >"$seeds/parsers_fuzz/sudachi-$skip"
    printf '\001%s\n' "$piece" >"$seeds/parsers_fuzz/delimited-$skip"
  done
fi

findings="$build/findings"
mkdir -p "$findings"
jobs=${FUZZ_JOBS:-1}

# Runs one harness for $seconds; its log is $build/HARNESS.log.
run_harness() {
  mkdir -p "$build/corpus/$1"
  "$build/tests/fuzz/$1" "$build/corpus/$1" "$seeds/$1" \
    -max_total_time="$seconds" -timeout=20 -max_len=4096 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$1-" >"$build/$1.log" 2>&1
}

# The harnesses in groups of $jobs, each group's at the same time.
total=0
# shellcheck disable=SC2086  # a list of names, split on purpose
set -- ${FUZZ_HARNESSES:-normalizer_fuzz parsers_fuzz levenshtein_fuzz arrow_fuzz}
while [ $# -gt 0 ]; do
  started=""  # harness:pid of each of the group
  count=0
  while [ $# -gt 0 ] && [ "$count" -lt "$jobs" ]; do
    run_harness "$1" &
    started="$started $1:$!"
    count=$((count + 1))
    shift
  done
  failed=0
  for entry in $started; do
    harness=${entry%:*}
    set +e
    wait "${entry#*:}"
    status=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$harness.log" | awk '{ n += $1 } END { print n + 0 }')
    total=$((total + runs))
    echo "$harness: $runs executions, exit status $status"
    if [ "$status" -ne 0 ]; then
      tail -n 60 "$build/$harness.log" >&2
      failed=1
    fi
  done
  [ "$failed" -eq 0 ] || exit 1
done
echo "fuzz: $total executions in total, no findings"
