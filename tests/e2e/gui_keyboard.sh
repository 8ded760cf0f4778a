#!/usr/bin/env bash
# The operator GUI for real: ffsload on an Xvfb display against ffsload-sim,
# driven with the keyboard alone as the README says. One green run (customer
# 1, port 1) and one red run (customer 2, port 2, a handset that refuses "ti"),
# each saved and exited; the run log's colour is read off a screenshot.
#
# usage: gui_keyboard.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR [SCREENSHOT_DIR]
# With SCREENSHOT_DIR the run panel is saved there as run-panel-green.png and
# run-panel-red.png. Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") shots=${4:+$(realpath "$4")}
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/ffsload-gui-XXXXXX)
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

# A display of its own.
source "$(dirname "$0")/../../scripts/xvfb_display.sh"
start_xvfb "$work" 1024x768x24

cp -r "$examples/station" "$work/station"
cd "$work/station"
printf '1 %s/port1\n2 %s/port2\n' "$work" "$work" >comports
"$sim" --link "$work/port1" --load "$examples/handset" >/dev/null 2>"$work/sim1.err" &
pids+=($!)
"$sim" --link "$work/port2" --fault refuse:0x20 >/dev/null 2>"$work/sim2.err" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/port1" ] && [ -e "$work/port2" ] && break; sleep 0.1; done

# Pixels of exactly this colour (#RRGGBB) in a screenshot.
pixels() {
  convert "$1" -format %c histogram:info:- | awk -v c="$2" 'toupper($0) ~ c { n += $1 } END { print n + 0 }'
}

saved_logs() { find . -maxdepth 1 -name 'Download_*.txt' | wc -l; }

# One operator session: customer, port, Run, wait for the colour, Save, Exit.
session() {
  local customer=$1 port=$2 colour=$3 name=$4
  "$ffsload" >"$work/gui.out" 2>"$work/gui.err" &
  local gui=$!
  pids+=("$gui")
  timeout 20 xdotool search --sync --onlyvisible --name "customer and port" >/dev/null ||
    fail "$name: no selection panel"
  sleep 0.3
  # The customer number has the focus with its text selected; Enter moves on.
  xdotool type "$customer"
  xdotool key Return
  sleep 0.2
  xdotool type "$port"
  xdotool key Return # opens the run panel
  local panel
  panel=$(timeout 20 xdotool search --sync --onlyvisible --name "ffsload: run" | head -1) ||
    fail "$name: no run panel"
  sleep 0.3
  xdotool key Return # Run has the focus
  local shot="$work/$name.png" found=0
  for _ in $(seq 120); do
    sleep 0.5
    import -window "$panel" "$shot"
    if [ "$(pixels "$shot" "$colour")" -gt 20000 ]; then found=1; break; fi
  done
  [ "$found" = 1 ] || fail "$name: the run log never turned $colour"
  sleep 0.3
  import -window "$panel" "$shot"
  [ -n "$shots" ] && cp "$shot" "$shots/run-panel-$name.png"
  local before
  before=$(saved_logs)
  xdotool key alt+s
  sleep 0.5
  [ "$(saved_logs)" -gt "$before" ] || fail "$name: Alt+S saved no log"
  xdotool key alt+x
  local status=0
  wait "$gui" || status=$?
  [ "$status" = 0 ] || fail "$name: ffsload ended with status $status"
  echo "ok: $name run, saved and exited with the keyboard"
}

session 1 1 "#00FF00" green
session 2 2 "#FF0000" red

# A station that asks for the operator and each unit's serial, as a badge
# and a barcode scanner type them: characters quickly, then Enter. A serial
# that does not match is refused; the next scan replaces it and runs at once.
scan_session() {
  printf 'operator = required\nunit-serial = required\nunit-serial-pattern = SN[0-9]{4}\n' >ffsload.conf
  rm -f runs.sqlite*  # the report below counts this session alone
  "$ffsload" >"$work/gui.out" 2>"$work/gui.err" &
  local gui=$!
  pids+=("$gui")
  timeout 20 xdotool search --sync --onlyvisible --name "customer and port" >/dev/null ||
    fail "scan: no selection panel"
  sleep 0.3
  xdotool type --delay 5 "anna" # the operator field has the focus
  xdotool key Return
  sleep 0.2
  xdotool type "1"
  xdotool key Return
  sleep 0.2
  xdotool type "1"
  xdotool key Return
  local panel
  panel=$(timeout 20 xdotool search --sync --onlyvisible --name "ffsload: run" | head -1) ||
    fail "scan: no run panel"
  sleep 0.3
  xdotool type --delay 5 "SN12" # the unit field has the focus
  xdotool key Return
  sleep 0.5
  xdotool type --delay 5 "SN0001"
  xdotool key Return
  local shot="$work/unit.png" found=0
  for _ in $(seq 120); do
    sleep 0.5
    import -window "$panel" "$shot"
    if [ "$(pixels "$shot" "#00FF00")" -gt 20000 ]; then found=1; break; fi
  done
  [ "$found" = 1 ] || fail "scan: the run log never turned green"
  sleep 0.3
  [ -n "$shots" ] && import -window "$panel" "$shots/run-panel-unit.png"
  xdotool key alt+x
  local status=0
  wait "$gui" || status=$?
  [ "$status" = 0 ] || fail "scan: ffsload ended with status $status"
  # One run, the refused serial never ran: the record names the unit and the operator.
  local report
  report=$("$ffsload" report --by operator --csv)
  grep -q '^anna,1,0,1,1,1,100.0,1,100.0,0,' <<<"$report" || fail "scan: no record of it: $report"
  rm -f ffsload.conf
  echo "ok: a scanned serial ran with the keyboard alone, a bad one was refused"
}

scan_session
