#!/usr/bin/env bash
# What the operator sees when the MES says no, on an Xvfb display:
#  - the operator panels with cfx-validate = required and an MES that cannot
#    be reached: the unit scanned, the run refused, the handset untouched;
#  - the station grid on a station the MES has locked: every port refuses.
#
# usage: cfx_screenshots.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR OUT_DIR
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") out=$(realpath -m "$4")
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done
mkdir -p "$out"
work=$(mktemp -d /tmp/ffsload-cfx-shots-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/gui.err" ] && sed 's/^/  ffsload: /' "$work/gui.err" >&2
  exit 1
}
source "$(dirname "$0")/xvfb_display.sh"
start_xvfb "$work" 1280x800x24

cp -r "$examples/station" "$work/station"
cd "$work/station"
: >comports
for n in 1 2 3 4; do
  echo "$n $work/port$n" >>comports
  "$sim" --link "$work/port$n" --load "$examples/handset" >/dev/null 2>"$work/sim$n.err" &
  pids+=($!)
done
for n in 1 2 3 4; do
  for _ in $(seq 50); do [ -e "$work/port$n" ] && break; sleep 0.1; done
done

# The panels: a unit the MES cannot be asked about is not loaded. No broker
# either: the messages wait in the station's queue.
cat >ffsload.conf <<CONF
unit-serial = required
cfx-broker = amqp://127.0.0.1:9
cfx-mes = amqp://127.0.0.1:9/ MES.Line4.1
cfx-validate = required
cfx-validate-timeout = 2
CONF
"$ffsload" >"$work/gui.out" 2>"$work/gui.err" &
gui=$!
pids+=("$gui")
timeout 20 xdotool search --sync --onlyvisible --name "customer and port" >/dev/null ||
  fail "no selection panel"
sleep 0.5
xdotool type 1
xdotool key Return
sleep 0.3
xdotool type 1
xdotool key Return
panel=$(timeout 20 xdotool search --sync --onlyvisible --name "ffsload: run" | head -1) ||
  fail "no run panel"
sleep 0.5
xdotool type "SN-4711"
xdotool key Return
for _ in $(seq 60); do
  sleep 0.25
  grep -q "the MES refused unit SN-4711" "$work/gui.err" && break
done
grep -q "the MES refused unit SN-4711" "$work/gui.err" || fail "no refusal on stderr"
sleep 0.5
import -window "$panel" "$out/cfx-panel-refused.png"
xdotool windowfocus --sync "$panel"
xdotool key alt+x
wait "$gui" || true

# The grid: the MES locked the station (as the sender keeps its lock).
printf '{"Reason":"QualityIssue","Requestor":"mes-jd","LockedBy":"MES.Line4.1","LockedAtMs":0}\n' \
  >cfx-station-lock.json
printf 'cfx-broker = amqp://127.0.0.1:9\n' >ffsload.conf
"$ffsload" grid --ports 1-4 >"$work/grid.out" 2>"$work/gui.err" &
gui=$!
pids+=("$gui")
window=$(timeout 20 xdotool search --sync --onlyvisible --name "station grid" | head -1) ||
  fail "no grid window"
sleep 0.5
xdotool windowsize "$window" 1000 560
xdotool windowfocus --sync "$window"
xdotool key alt+c
xdotool key ctrl+a
xdotool type 1
xdotool key Return
sleep 0.3
xdotool key alt+a # Run all
sleep 4
import -window "$window" "$out/cfx-grid-locked.png"
xdotool key alt+x
wait "$gui" || true
echo "screenshots: $out/cfx-panel-refused.png $out/cfx-grid-locked.png"
