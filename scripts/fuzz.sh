#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS-PER-TARGET]   (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
"$root/scripts/setup.sh" fuzz
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DFFSLOAD_FUZZ=ON \
  -DFFSLOAD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
for target in fuzz_reply_reader fuzz_simulated_handset fuzz_script_runner fuzz_customer_definition \
  fuzz_station_check fuzz_panel_file; do
  corpus="$root/build-fuzz/corpus/$target"
  mkdir -p "$corpus"
  # Seeds kept in the repository start the corpus; what the run finds stays in the build.
  if [ -d "$root/fuzz/corpus/$target" ]; then cp -n "$root/fuzz/corpus/$target"/* "$corpus"/; fi
  echo "fuzzing $target for ${seconds}s"
  LSAN_OPTIONS=suppressions=$root/tests/lsan_system_libraries.supp \
  "$root/build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -print_final_stats=1 "$corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|==|SUMMARY|Test unit)' || true
  test "${PIPESTATUS[0]}" -eq 0
done
