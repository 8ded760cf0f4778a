#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, the fuzzers for a
# bounded time, and a build with the address and undefined-behaviour sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc)
# Each step's time on stderr, to see where the command's minutes go.
step() { echo "test.sh: $1 done at ${SECONDS}s" >&2; }

"$root/scripts/build.sh" "$root/build"
step "setup and build"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
step "normal tree"

# The fuzzers, 20 seconds each.
"$root/scripts/fuzz.sh" 20
step "fuzzers"

# The benchmarks are built and run by scripts of their own, not here.
"$root/scripts/build.sh" "$root/build-sanitize" -DFFSLOAD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DFFSLOAD_BENCH=OFF
# Without the tests whose subject is the same in every build (label "once").
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs" -LE once
step "sanitizer tree"
