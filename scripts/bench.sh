#!/usr/bin/env bash
# Builds the release programs and runs every benchmark, then prints one table:
# each figure, what it measured, its goal, with the machine, the date and the
# commit. Not part of the test command: figures belong to a quiet machine.
#   scripts/bench.sh [--quick] [--out FILE]
# --quick runs fewer rounds (a smoke test of the script, not figures to quote).
# The benchmarks' own words are kept in build-bench/bench-logs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
out=""
while (($#)); do
  case $1 in
    --quick) quick=1 ;;
    --out) out=$2; shift ;;
    *) echo "usage: scripts/bench.sh [--quick] [--out FILE]" >&2; exit 2 ;;
  esac
  shift
done

"$root/scripts/setup.sh"
build=$root/build-bench
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DFFSLOAD_TESTS=OFF -DFFSLOAD_BENCH=ON
bench=$build/bench
logs=$build/bench-logs
rm -rf "$logs"
mkdir -p "$logs"

if ((quick)); then
  starts=5 downloads=10 records=20000 gui_runs=100 grid_rounds=1 soak_runs=10 kills=3
  cfx_steps=20 cfx_rounds=2 cfx_soak_runs=20 cfx_backlog=10000
  audit_events=20000 audit_mutations=40
else
  starts=20 downloads=50 records=1000000 gui_runs=1000 grid_rounds=3 soak_runs=100 kills=20
  cfx_steps=200 cfx_rounds=10 cfx_soak_runs=200 cfx_backlog=100000
  audit_events=1000000 audit_mutations=1000
fi
# The million records are kept between runs of this script: filling them
# takes minutes, the timings do not.
records_folder=$build/bench-records-$records

run() {
  local name=$1
  shift
  echo "bench.sh: $name ..." >&2
  if ! "$@" >"$logs/$name.txt" 2>"$logs/$name.err"; then
    echo "bench.sh: $name failed; see $logs/$name.err" >&2
    printf 'figure\t%s\tfailed (see bench-logs/%s.err)\t\n' "$name" "$name" >>"$logs/$name.txt"
  fi
}

run start "$bench/bench_start" "$starts"
run link "$bench/bench_link"
run download "$bench/bench_download" "$build/src/ffsload-sim" "$downloads"
run records "$bench/bench_records" "$records" "$records_folder"
run serial_pattern "$bench/bench_serial_pattern"
run journal "$bench/bench_journal" 20
run unit_records "$bench/bench_unit_records" "$records" "$build/bench-unit-records-$records"
QT_QPA_PLATFORM=offscreen run gui "$bench/bench_gui" "$gui_runs"
run grid "$bench/bench_grid" "$grid_rounds"
mkdir -p "$records_folder"
run board "$bench/bench_board" "$records" "$records_folder/board.sqlite"
run people "$bench/bench_people" "$audit_events" "$audit_mutations" "$build/bench-people"
run soak "$bench/soak" --runs "$soak_runs" --jobs 2 --rate 0.002 --seed 3
run kill_soak "$bench/kill_soak" --kills "$kills" --seed 17
run cfx "$bench/bench_cfx" "$cfx_steps" "$cfx_rounds"
# The sender against a RabbitMQ of its own (Debian's Python for its Proton binding).
run cfx_soak /usr/bin/python3 "$root/bench/cfx_soak.py" "$build" --runs "$cfx_soak_runs" \
  --broker-kills 2 --sender-kills 10 --pace-ms 400 --seed 7
# The same with hostile peers at the sender's request port all along.
run cfx_probe_soak /usr/bin/python3 "$root/bench/cfx_soak.py" "$build" --runs "$cfx_soak_runs" \
  --broker-kills 2 --sender-kills 6 --pace-ms 300 --seed 7 --probes
run cfx_backlog /usr/bin/python3 "$root/bench/cfx_soak.py" "$build" --backlog "$cfx_backlog"

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
memory=$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo "not a git tree")
dirty=$(grep -q . <<<"$(git -C "$root" status --porcelain 2>/dev/null)" && echo " (with changes)" || true)
{
  echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores ($cpu), $memory, $(uname -sr);"
  echo "commit $commit$dirty, release build, by scripts/bench.sh$( ((quick)) && echo ' --quick')."
  echo
  echo "| figure | measured | goal |"
  echo "|---|---|---|"
  for name in start link download records unit_records serial_pattern journal board gui grid people soak kill_soak cfx cfx_soak cfx_probe_soak cfx_backlog; do
    awk -F'\t' '$1 == "figure" {printf "| %s | %s | %s |\n", $2, $3, ($4 == "" ? "-" : $4)}' \
      "$logs/$name.txt"
  done
} | tee "$logs/report.md"
if [ -n "$out" ]; then cp "$logs/report.md" "$out"; fi
