# Sourced by the scripts that show the real GUI on a display of their own.
#   start_xvfb WORK SCREEN   e.g. start_xvfb "$work" 1024x768x24
# Xvfb picks a free display number and writes it to fd 3; DISPLAY is set to
# it, Xvfb's pid joins the caller's array "pids", and the caller's "fail"
# is called when it does not start.
start_xvfb() {
  local work=$1 screen=$2
  # -noreset: by default the server resets when its last client leaves, and a
  # program started in that moment cannot connect (Qt: no "xcb" plugin).
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.err" &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
  export DISPLAY=":$(cat "$work/display")"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
}
