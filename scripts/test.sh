#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, the fuzzers for a
# bounded time, and a build with the address and undefined-behaviour sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc)

"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

# The fuzzers, 20 seconds each.
"$root/scripts/fuzz.sh" 20

# The benchmarks are built and run by scripts of their own, not here.
"$root/scripts/build.sh" "$root/build-sanitize" -DFFSLOAD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DFFSLOAD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs"
