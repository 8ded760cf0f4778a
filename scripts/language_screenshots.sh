#!/usr/bin/env bash
# The real ffsload-gui in each language on an Xvfb display: the selection
# panel, the run panel after a green and after a red run (with a notice of
# several lines below its log), the pending-IMEI question and the station
# grid (before the operator's id, with its hint, and after its runs), saved as OUT_DIR/LANG-WHAT.png to be looked
# at. The windows are found by their translated titles, so a language whose
# translations did not load fails here; Chinese also needs a CJK font (else
# every character is an empty box).
#
# usage: language_screenshots.sh FFSLOAD FFSLOAD_SIM EXAMPLES_DIR OUT_DIR [LANG...]
# LANG: zh_CN vi es pt_BR en (default: all). zh_CN is chosen by ffsload.conf,
# the others by the desktop's LANG, so both ways are exercised.
set -euo pipefail

ffsload=$(realpath "$1") sim=$(realpath "$2") examples=$(realpath "$3") out=$(realpath -m "$4")
shift 4
languages=("$@")
[ ${#languages[@]} -gt 0 ] || languages=(zh_CN vi es pt_BR en)
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done
mkdir -p "$out"

work=$(mktemp -d /tmp/ffsload-languages-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  kill -0 "${pids[0]}" 2>/dev/null || echo "  the X server (Xvfb) is gone: $(cat "$work/xvfb.err")" >&2
  for f in "$work"/*.err; do [ -s "$f" ] && sed "s|^|  $(basename "$f"): |" "$f" | tail -5 >&2; done
  exit 1
}

source "$(dirname "$0")/xvfb_display.sh"
start_xvfb "$work" 1280x900x24

# Per language: the selection panel's, the run panel's, the question's and
# the grid's titles (as the translations give them), the desktop locale, and
# the grid's Run-all key.
declare -A select_title run_title ask_title grid_title locale run_all
select_title=([en]="ffsload: customer and port" [zh_CN]="ffsload：客户和端口"
  [vi]="ffsload: khách hàng và cổng" [es]="ffsload: cliente y puerto" [pt_BR]="ffsload: cliente e porta")
run_title=([en]="ffsload: run" [zh_CN]="ffsload：运行" [vi]="ffsload: chạy" [es]="ffsload: ejecución"
  [pt_BR]="ffsload: execução")
ask_title=([en]="Pending IMEI" [zh_CN]="待恢复的 IMEI" [vi]="IMEI đang chờ" [es]="IMEI pendiente"
  [pt_BR]="IMEI pendente")
grid_title=([en]="ffsload: station grid" [zh_CN]="ffsload：工站多端口" [vi]="ffsload: lưới trạm"
  [es]="ffsload: cuadrícula de la estación" [pt_BR]="ffsload: grade da estação")
locale=([en]=C.UTF-8 [zh_CN]=C.UTF-8 [vi]=vi_VN.UTF-8 [es]=es_MX.UTF-8 [pt_BR]=pt_BR.UTF-8)
run_all=([en]=a [zh_CN]=a [vi]=t [es]=t [pt_BR]=t)

if [[ " ${languages[*]} " == *" zh_CN "* ]] && command -v fc-list >/dev/null &&
  [ -z "$(fc-list :lang=zh-cn family)" ]; then
  fail "no font for Simplified Chinese (Debian: fonts-noto-cjk): the panels would show boxes"
fi

cp -r "$examples/station" "$work/station"
cd "$work/station"
rm -f run-journal_* ./*.lock
printf '1 %s/port1\n2 %s/port2\n3 %s/port3\n' "$work" "$work" "$work" >comports
settings='unit-serial = optional
operator = optional
'

wait_for() { for _ in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done; return 1; }
declare -A sim_pid
sim_on() { # PORT [sim options]: a fresh handset on that port
  local port=$1
  shift
  # The old handset ends first: on its way out it removes its link, which
  # must not be the new one's.
  if [ -n "${sim_pid[$port]:-}" ]; then
    kill "${sim_pid[$port]}" 2>/dev/null || true
    wait "${sim_pid[$port]}" 2>/dev/null || true
  fi
  rm -f "$work/port$port"
  "$sim" --link "$work/port$port" "$@" >/dev/null 2>>"$work/sim$port.err" &
  pids+=($!)
  sim_pid[$port]=$!
  wait_for "$work/port$port" || fail "no simulated handset on port $port"
}
pixels() { # pixels of exactly this colour (#RRGGBB)
  convert "$1" -format %c histogram:info:- | awk -v c="$2" 'toupper($0) ~ c { n += $1 } END { print n + 0 }'
}
small_png() { convert "$1" -strip -colors 256 "PNG8:$2"; }
find_window() { # TITLE [SECONDS]: the GUI's visible window whose title is exactly TITLE
  # (compared here: xdotool's own pattern misses some accented titles)
  local w
  for _ in $(seq $((${2:-20} * 5))); do
    kill -0 "$gui" 2>/dev/null || return 1 # the program ended (its stderr says why)
    for w in $(xdotool search --onlyvisible --pid "$gui" --name . 2>/dev/null); do
      [ "$(xdotool getwindowname "$w")" = "$1" ] && { echo "$w"; return 0; }
    done
    sleep 0.2
  done
  return 1
}
start_gui() { # LANGUAGE [ffsload arguments]
  local language=$1
  shift
  LANG=${locale[$language]} LC_ALL= LC_MESSAGES= "$ffsload" "$@" >>"$work/gui.out" 2>>"$work/gui.err" &
  gui=$!
  pids+=("$gui")
}
stop_gui() {
  kill -9 "$gui" 2>/dev/null || true
  wait "$gui" 2>/dev/null || true
}
# Selection panel to run panel: operator id, customer 1, PORT, Enter.
open_run_panel() { # LANGUAGE PORT SHOT
  local language=$1 port=$2 shot=$3
  start_gui "$language"
  local panel
  panel=$(find_window "${select_title[$language]}") || fail "$language: no selection panel"
  sleep 0.5
  [ -n "$shot" ] && { import -window "$panel" "$work/s.png"; small_png "$work/s.png" "$shot"; }
  xdotool type OP7
  xdotool key Return
  sleep 0.2
  xdotool type 1
  xdotool key Return
  sleep 0.2
  xdotool type "$port"
  xdotool key Return
  run_panel=$(find_window "${run_title[$language]}") || fail "$language: no run panel"
  sleep 0.3
}
# Waits until the run panel's log is no longer yellow and has COLOUR.
wait_run_end() { # COLOUR SHOT
  for _ in $(seq 120); do
    sleep 0.5
    import -window "$run_panel" "$work/r.png"
    if [ "$(pixels "$work/r.png" "#FFFF00")" -lt 100 ] && [ "$(pixels "$work/r.png" "$1")" -gt 2000 ]; then
      small_png "$work/r.png" "$2"
      return 0
    fi
  done
  cp "$work/r.png" "${2%.png}-failed.png"
  return 1
}
# A run on PORT killed after its format, before the IMEI went back, then a
# handset without IMEI on that port: the next run asks.
leave_pending_imei() { # PORT
  local port=$1
  sim_on "$port" --load "$examples/handset"
  formats() { cat "run-journal_$port" 2>/dev/null | grep -c '^format' || true; }
  local before
  before=$(formats)
  "$ffsload" run --port "$port" --customer 1 >/dev/null 2>"$work/killed.err" &
  local killed=$!
  for _ in $(seq 100); do [ "$(formats)" -gt "$before" ] && break; sleep 0.05; done
  [ "$(formats)" -gt "$before" ] || fail "the run to kill never reached its format"
  kill -9 "$killed"
  wait "$killed" 2>/dev/null || true
  sim_on "$port"
}

for language in "${languages[@]}"; do
  [ -n "${run_title[$language]:-}" ] || fail "unknown language $language"
  printf '%s' "$settings" >ffsload.conf
  [ "$language" = zh_CN ] && echo "language = zh_CN" >>ffsload.conf
  sim_on 1 --load "$examples/handset"
  sim_on 2 --load "$examples/handset" --fault 'refuse:*:12'

  open_run_panel "$language" 1 "$out/$language-selection.png"
  xdotool type SN-1001
  xdotool key Return # the unit field's Enter runs
  wait_run_end "#00FF00" "$out/$language-run-green.png" || fail "$language: no green run"
  stop_gui

  # A torn line in port 2's journal: the red run's panel carries the long
  # notice that says so, which wraps over several lines below the log.
  printf 'torn line\n' >>run-journal_2
  open_run_panel "$language" 2 ""
  xdotool key Return
  wait_run_end "#FF0000" "$out/$language-run-red.png" || fail "$language: no red run"
  stop_gui
  rm -f run-journal_2 # torn, it would hold back every port's IMEI read-back

  leave_pending_imei 3
  open_run_panel "$language" 3 ""
  xdotool key Return
  box=$(find_window "${ask_title[$language]}" 30) ||
    fail "$language: no pending-IMEI question"
  sleep 0.5
  import -window "$box" "$work/q.png"
  small_png "$work/q.png" "$out/$language-pending-imei.png"
  # Unanswered: the IMEI stays pending (the next language asks again).
  stop_gui
  rm -f ./*.lock

  start_gui "$language" grid --ports 1,2 --customer 1
  window=$(find_window "${grid_title[$language]}") || fail "$language: no grid window"
  sleep 0.5
  xdotool windowsize "$window" 960 640
  xdotool windowfocus --sync "$window"
  sleep 0.3
  # The operator field, empty, shows its hint; then the operator's id.
  import -window "$window" "$work/g.png"
  small_png "$work/g.png" "$out/$language-grid-operator.png"
  xdotool type OP7
  xdotool key Return
  sleep 0.2
  xdotool key "alt+${run_all[$language]}"
  done=0
  for _ in $(seq 80); do
    sleep 0.5
    import -window "$window" "$work/g.png"
    if [ "$(pixels "$work/g.png" "#FFFF00")" -lt 100 ] && [ "$(pixels "$work/g.png" "#00FF00")" -gt 2000 ] &&
      [ "$(pixels "$work/g.png" "#FF0000")" -gt 2000 ]; then
      done=1
      break
    fi
  done
  [ "$done" = 1 ] || { cp "$work/g.png" "$out/$language-grid-failed.png"; fail "$language: the tiles never ended"; }
  small_png "$work/g.png" "$out/$language-grid.png"
  stop_gui
  rm -rf ports ./*.lock
done
echo "screenshots in $out: ${languages[*]}"
