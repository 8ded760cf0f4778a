#!/usr/bin/env bash
# What the operator sees when the MES says no, on an Xvfb display:
#  - the operator panels with cfx-validate = required and an MES that cannot
#    be reached: the unit scanned, the run refused, the handset untouched;
#  - the station grid on a station the MES has locked: every port refuses;
#  - the panels and the grid (in English and in Chinese) with a sender that
#    cannot run (its TLS key is missing): the notice at their foot.
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
rm -f cfx-station-lock.json

# A sender that cannot run: its TLS key is missing, so it refuses to start,
# and each new start stops again. The panels and the grid say so.
: >st04.pem
cannot_run='cfx-broker = amqps://mq.line4:5671
cfx-tls-cert = st04.pem
cfx-tls-key = st04.key'
echo "$cannot_run" >ffsload.conf
"$ffsload" >"$work/gui.out" 2>"$work/gui.err" &
gui=$!
pids+=("$gui")
panel=$(timeout 20 xdotool search --sync --onlyvisible --name "customer and port" | head -1) ||
  fail "no selection panel"
for _ in $(seq 40); do
  sleep 0.25
  grep -q "it cannot run" "$work/gui.err" && break
done
grep -q "it cannot run" "$work/gui.err" || fail "the sender did not stop"
sleep 1
import -window "$panel" "$out/cfx-panel-sender-cannot-run.png"
# The selection panel has no exit of its own: closed as its window is.
kill "$gui"
wait "$gui" || true

for language in en zh_CN; do
  { echo "$cannot_run"; [ "$language" = en ] || echo "language = $language"; } >ffsload.conf
  "$ffsload" grid --ports 1-4 >"$work/grid.out" 2>"$work/gui.err" &
  gui=$!
  pids+=("$gui")
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "ffsload" | head -1) ||
    fail "no grid window"
  xdotool windowsize "$window" 1000 560
  for _ in $(seq 40); do
    sleep 0.25
    grep -q "it cannot run" "$work/gui.err" && break
  done
  sleep 1
  import -window "$window" "$out/cfx-grid-sender-cannot-run-$language.png"
  xdotool windowfocus --sync "$window"
  xdotool key alt+x
  wait "$gui" || true
done
echo "screenshots: $out/cfx-panel-refused.png $out/cfx-grid-locked.png" \
  "$out/cfx-panel-sender-cannot-run.png $out/cfx-grid-sender-cannot-run-{en,zh_CN}.png"
