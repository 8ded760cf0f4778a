#!/usr/bin/env bash
# The pending-IMEI question for real, on an Xvfb display: a run on port 1 of
# the example station is killed (SIGKILL) after its format, before the IMEI
# went back; then a handset without IMEI is put on the fixture and
#  - the operator GUI runs customer 1 on port 1: its question box is saved;
#  - "ffsload grid" runs all ports: the asking tile is saved.
# Each question is then answered No (the IMEI stays pending in the copy only).
#
# usage: pending_imei_screenshots.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR OUT_DIR [UNIT]
# Writes OUT_DIR/pending-imei-question.png and OUT_DIR/grid-pending-imei.png.
# With UNIT, the killed runs were of that unit (a serial such as
# "<b>SN2</b><!--" must show as typed), the grid asks serials, and its tile
# is answered Y from its focused unit field: OUT_DIR/grid-pending-imei.png is
# the tile asking, OUT_DIR/grid-answered-y.png the tile after the Y.
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") out=$(realpath "$4")
unit=${5:-}
unit_option=()
[ -n "$unit" ] && unit_option=(--unit "$unit")
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d /tmp/ffsload-pending-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.err; do [ -s "$f" ] && sed "s|^|  $(basename "$f"): |" "$f" >&2; done
  exit 1
}

source "$(dirname "$0")/xvfb_display.sh"
start_xvfb "$work" 1280x800x24

cp -r "$examples/station" "$work/station"
cd "$work/station"
rm -f run-journal_* ./*.lock
printf '1 %s/port1\n2 %s/port2\n' "$work" "$work" >comports

wait_for() { for _ in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done; return 1; }
sim_on() { # PORT [sim options]: a fresh handset on that port
  local port=$1
  shift
  rm -f "$work/port$port"
  "$sim" --link "$work/port$port" "$@" >/dev/null 2>>"$work/sim$port.err" &
  pids+=($!)
  sim_pid[$port]=$!
  wait_for "$work/port$port" || fail "no simulated handset on port $port"
}
declare -A sim_pid

# The run that dies between the format and the IMEI write-back.
sim_on 1 --load "$examples/handset"
"$ffsload" run --port 1 --customer 1 "${unit_option[@]}" >/dev/null 2>"$work/killed.err" &
killed=$!
for _ in $(seq 100); do grep -q '^format' run-journal_1 2>/dev/null && break; sleep 0.05; done
grep -q '^format' run-journal_1 || fail "the run never reached its format"
kill -9 "$killed"
wait "$killed" 2>/dev/null || true
kill "${sim_pid[1]}"

# Handsets without IMEI from now on.
sim_on 1
sim_on 2 --load "$examples/handset"

# Pixels of exactly this colour (#RRGGBB) in a screenshot.
pixels() {
  convert "$1" -format %c histogram:info:- | awk -v c="$2" 'toupper($0) ~ c { n += $1 } END { print n + 0 }'
}
small_png() { convert "$1" -strip -colors 128 "PNG8:$2"; }

# The run panel: customer 1, port 1, Run; the question box comes up.
"$ffsload" >"$work/gui.out" 2>"$work/gui.err" &
gui=$!
pids+=("$gui")
timeout 20 xdotool search --sync --onlyvisible --name "customer and port" >/dev/null ||
  fail "no selection panel"
sleep 0.3
xdotool type 1
xdotool key Return
sleep 0.2
xdotool type 1
xdotool key Return
panel=$(timeout 20 xdotool search --sync --onlyvisible --name "ffsload: run" | head -1) ||
  fail "no run panel"
sleep 0.3
xdotool key Return # Run
box=$(timeout 30 xdotool search --sync --onlyvisible --name "Pending IMEI" | head -1) ||
  fail "no question box"
sleep 0.5
xdotool key Return # a blind Enter: nothing happens
sleep 0.3
xdotool search --onlyvisible --name "Pending IMEI" >/dev/null || fail "Enter answered the question"
import -window "$box" "$work/question.png"
small_png "$work/question.png" "$out/pending-imei-question.png"
xdotool key n # No: kept aside; a second killed run is made for the grid below
ended=0
for _ in $(seq 120); do
  sleep 0.5
  import -window "$panel" "$work/panel.png"
  if [ "$(pixels "$work/panel.png" "#FFFF00")" -lt 100 ]; then ended=1; break; fi
done
[ "$ended" = 1 ] || fail "the run after No never ended"
xdotool windowfocus --sync "$panel" # without a window manager the closed box leaves no focus
xdotool key alt+x
wait "$gui" || fail "ffsload ended with status $?"

# Another run killed the same way, started in port 1's folder of the grid: a
# run there finds its station folder and keeps its journal in the station's
# run-journal_1, where the grid's port 1 sees the IMEI it left pending.
kill "${sim_pid[1]}"
sim_on 1 --load "$examples/handset"
mkdir -p ports/1
for f in custdefine comports main.tms main rf data; do ln -sfn "../../$f" "ports/1/$f"; done
formats() { grep -c '^format' run-journal_1 2>/dev/null || true; }
before=$(formats)
(cd ports/1 && exec "$ffsload" run --port 1 --customer 1 "${unit_option[@]}" >/dev/null 2>"$work/killed2.err") &
killed=$!
for _ in $(seq 100); do [ "$(formats)" -gt "$before" ] && break; sleep 0.05; done
[ "$(formats)" -gt "$before" ] || fail "the second run never reached its format"
[ ! -e ports/1/run-journal_1 ] || fail "the run in ports/1 kept a journal of its own there"
kill -9 "$killed"
wait "$killed" 2>/dev/null || true
kill "${sim_pid[1]}"
sim_on 1
[ -n "$unit" ] && echo "unit-serial = optional" >>ffsload.conf

"$ffsload" grid >"$work/grid.out" 2>"$work/grid.err" &
gui=$!
pids+=("$gui")
window=$(timeout 20 xdotool search --sync --onlyvisible --name "station grid" | head -1) ||
  fail "no grid window"
sleep 0.5
xdotool windowsize "$window" 900 560
xdotool windowfocus --sync "$window"
xdotool key alt+c
xdotool key ctrl+a
xdotool type 1
xdotool key Return
sleep 0.3
if [ -n "$unit" ]; then
  xdotool key Return # the focus is in port 1's unit field: Enter without a serial runs it
  least_green=-1
else
  xdotool key alt+a # Run all
  least_green=10000
fi
# Done when port 2 is green and port 1 asks (its amber question frame).
done=0
for _ in $(seq 80); do
  sleep 0.5
  import -window "$window" "$work/grid.png"
  if [ "$(pixels "$work/grid.png" "#00FF00")" -gt "$least_green" ] && [ "$(pixels "$work/grid.png" "#FFF4C0")" -gt 2000 ]; then
    done=1
    break
  fi
done
[ "$done" = 1 ] || { cp "$work/grid.png" "$out/grid-pending-imei-failed.png"; fail "the tile never asked"; }
xdotool windowfocus --sync "$window"
if [ -n "$unit" ]; then
  small_png "$work/grid.png" "$out/grid-pending-imei.png"
  xdotool key y # into the focused unit field: answers the tile
  answered=0
  for _ in $(seq 120); do
    sleep 0.5
    import -window "$window" "$work/grid.png"
    if [ "$(pixels "$work/grid.png" "#00FF00")" -gt 10000 ]; then answered=1; break; fi
  done
  [ "$answered" = 1 ] || { cp "$work/grid.png" "$out/grid-answered-y-failed.png"; fail "Y in the unit field did not answer"; }
  small_png "$work/grid.png" "$out/grid-answered-y.png"
else
  xdotool key Return # Enter on the asking tile: nothing happens
  sleep 0.5
  import -window "$window" "$work/grid.png"
  small_png "$work/grid.png" "$out/grid-pending-imei.png"
  xdotool key n # the focused tile is port 1's: No
  for _ in $(seq 120); do
    sleep 0.5
    import -window "$window" "$work/grid.png"
    [ "$(pixels "$work/grid.png" "#FFFF00")" -lt 100 ] && break
  done
fi
xdotool key alt+x
wait "$gui" || fail "ffsload grid ended with status $?"
echo "screenshots: $out/pending-imei-question.png $out/grid-pending-imei.png"
