#!/usr/bin/env bash
# The yield report of real runs: the example station, asking for unit
# serials, runs eleven units' handsets against ffsload-sim (some red on
# purpose, some of those loaded again until green), then prints the report,
# draws the chart and shows the yield window on an Xvfb display for a
# screenshot.
#
# usage: yield_screenshot.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR OUT_DIR
# Writes OUT_DIR/yield-window.png, OUT_DIR/yield-example.svg and prints the
# report's table and CSV.
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") out=$(realpath "$4")
scripts=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d /tmp/ffsload-yield-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cp -r "$examples/station" "$work/station"
cd "$work/station"
# Only this script's runs: nothing a test left in the examples' folder.
rm -f runs.sqlite* runs-outbox.sqlite* run-journal_* Download_*
printf 'unit-serial = required\nunit-serial-pattern = SN[0-9]{4}\noperator = optional\n' >ffsload.conf
unset FFSLOAD_RECORDS FFSLOAD_OUTBOX

# One run of a unit on a handset of its own: ok, or a fault that turns it red.
run_unit() {
  local customer=$1 unit=$2 operator=$3 fault=${4:-}
  local args=(--link "$work/handset" --load "$examples/handset")
  [ -n "$fault" ] && args+=(--fault "$fault")
  rm -f "$work/handset"
  "$sim" "${args[@]}" >/dev/null 2>"$work/sim.err" &
  local pid=$!
  for _ in $(seq 50); do [ -e "$work/handset" ] && break; sleep 0.1; done
  "$ffsload" run --port 3 --device "$work/handset" --customer "$customer" --unit "$unit" \
    --operator "$operator" >/dev/null 2>>"$work/runs.err" || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

compare_fault=refuse:0x70:20:5 # a compare of the calibration files fails
mkdir_fault=refuse:0x70/0x0A:1:5 # the first mkdir fails
run_unit 1 SN0001 anna
run_unit 1 SN0002 anna "$compare_fault"
run_unit 1 SN0002 anna
run_unit 1 SN0003 anna
run_unit 1 SN0004 ben "$compare_fault"
run_unit 1 SN0005 ben
run_unit 4.1 SN0101 ben
run_unit 4.1 SN0102 ben "$mkdir_fault"
run_unit 4.1 SN0102 ben "$mkdir_fault"
run_unit 4.1 SN0102 anna
run_unit 4.1 SN0103 anna
run_unit 4.1 SN0104 anna "$mkdir_fault"
run_unit 4.1 SN0105 anna

echo "\$ ffsload report"
"$ffsload" report
echo "\$ ffsload report --by operator"
"$ffsload" report --by operator
echo "\$ ffsload report --csv --chart yield.svg"
"$ffsload" report --csv --chart yield.svg
cp yield.svg "$out/yield-example.svg"

source "$scripts/xvfb_display.sh"
start_xvfb "$work" 1024x768x24
"$ffsload" report --window >/dev/null 2>"$work/window.err" &
gui=$!
pids+=("$gui")
window=$(timeout 20 xdotool search --sync --onlyvisible --name "yield" | head -1) ||
  fail "no yield window: $(cat "$work/window.err")"
sleep 1
import -window "$window" "$out/yield-window.png"
xdotool key Escape
echo "screenshot: $out/yield-window.png"
