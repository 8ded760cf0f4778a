#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# as many at once as there are cores.
#   scripts/fuzz.sh [SECONDS-PER-TARGET]   (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
"$root/scripts/setup.sh" fuzz
CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DFFSLOAD_FUZZ=ON \
  -DFFSLOAD_TESTS=OFF -DFFSLOAD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
logs="$root/build-fuzz/logs"
mkdir -p "$logs"

fuzz_one() {
  local target=$1 corpus="$root/build-fuzz/corpus/$1"
  mkdir -p "$corpus"
  # Seeds kept in the repository start the corpus; what the run finds stays in the build.
  if [ -d "$root/fuzz/corpus/$target" ]; then cp -n "$root/fuzz/corpus/$target"/* "$corpus"/; fi
  LSAN_OPTIONS=suppressions=$root/tests/lsan_system_libraries.supp \
    "$root/build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -print_final_stats=1 "$corpus" >"$logs/$target.log" 2>&1
}

jobs=$(nproc)
pids=()
targets=(fuzz_reply_reader fuzz_simulated_handset fuzz_script_runner fuzz_customer_definition
  fuzz_station_check fuzz_panel_file fuzz_board_language)
failed=0
for target in "${targets[@]}"; do
  echo "fuzzing $target for ${seconds}s"
  fuzz_one "$target" &
  pids+=("$!:$target")
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
done
for entry in "${pids[@]}"; do
  pid=${entry%%:*}
  target=${entry#*:}
  if ! wait "$pid"; then
    echo "fuzzer $target failed:"
    failed=1
  fi
  grep -E '^(stat::number_of_executed_units|==|SUMMARY|Test unit)' "$logs/$target.log" |
    sed "s/^/$target: /" || true
done
exit "$failed"
