#!/usr/bin/env bash
# The station grid for real: "ffsload grid" on an Xvfb display over eight
# ffsload-sim handsets (port 6's refuses its 12th request), the customer chosen and
# Run all pressed with the keyboard, then a screenshot once every tile has
# ended green or red.
#
# usage: grid_screenshot.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR OUT.png
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") out=$(realpath -m "$4")
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }
done

work=$(mktemp -d /tmp/ffsload-grid-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/shot.png" ] && cp "$work/shot.png" "${out%.png}-failed.png"
  [ -f "$work/grid.err" ] && sed 's/^/  ffsload: /' "$work/grid.err" >&2
  exit 1
}

# A display of its own.
source "$(dirname "$0")/xvfb_display.sh"
start_xvfb "$work" 1280x800x24

cp -r "$examples/station" "$work/station"
cd "$work/station"
: >comports
for n in 1 2 3 4 5 6 7 8; do
  echo "$n $work/port$n" >>comports
  fault=()
  [ "$n" = 6 ] && fault=(--fault refuse:*:12)
  "$sim" --link "$work/port$n" --load "$examples/handset" "${fault[@]}" >/dev/null 2>"$work/sim$n.err" &
  pids+=($!)
done
for n in 1 2 3 4 5 6 7 8; do
  for _ in $(seq 50); do [ -e "$work/port$n" ] && break; sleep 0.1; done
done

"$ffsload" grid >"$work/grid.out" 2>"$work/grid.err" &
gui=$!
pids+=("$gui")
window=$(timeout 20 xdotool search --sync --onlyvisible --name "station grid" | head -1) ||
  fail "no grid window"
sleep 0.5
xdotool windowsize "$window" 1240 760
xdotool windowfocus --sync "$window"
xdotool key alt+c # the customer number
xdotool key ctrl+a
xdotool type 1
xdotool key Return # chosen: the first tile has the focus
sleep 0.3
xdotool key alt+a # Run all

# Done when no tile is yellow any more.
pixels() {
  convert "$1" -format %c histogram:info:- | awk -v c="$2" 'toupper($0) ~ c { n += $1 } END { print n + 0 }'
}
done=0
for _ in $(seq 60); do
  sleep 0.5
  import -window "$window" "$work/shot.png"
  if [ "$(pixels "$work/shot.png" "#FFFF00")" -lt 100 ] && [ "$(pixels "$work/shot.png" "#00FF00")" -gt 20000 ]; then
    done=1
    break
  fi
done
[ "$done" = 1 ] || fail "the tiles never all ended"
sleep 0.5
import -window "$window" "$out"
xdotool key alt+x
status=0
wait "$gui" || status=$?
[ "$status" = 0 ] || fail "ffsload grid ended with status $status"
echo "screenshot: $out"
