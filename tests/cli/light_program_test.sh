#!/usr/bin/env bash
# The plain program links no toolkit, yet "ffsload" alone and "ffsload report
# --window" still reach the windows: they hand over to the window program.
#   light_program_test.sh FFSLOAD
set -euo pipefail
ffsload=$1
fail() { echo "light program test: $*" >&2; exit 1; }

qt=$(ldd "$ffsload" | grep -i 'libQt' || true)
[ -z "$qt" ] || fail "ffsload links Qt: $qt"
# The AMQP library is the sender program's (ffsload-cfx) alone.
amqp=$(ldd "$ffsload" | grep -i 'qpid-proton' || true)
[ -z "$amqp" ] || fail "ffsload links the AMQP library: $amqp"
grep -q '^ffsload ' <<<"$("$ffsload" --version)" || fail "ffsload --version"
grep -q -- '--port' <<<"$("$ffsload" run --help)" || fail "ffsload run --help"

work=$(mktemp -d /tmp/ffsload-light.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$ffsload" "$@" 2>&1 || true; }
out=$(nodisplay)
grep -q 'no display to show the panels on' <<<"$out" || fail "ffsload alone: $out"
out=$(nodisplay report --window --records "$work/none.sqlite")
grep -q 'ffsload' <<<"$out" || fail "report --window said nothing"
echo "light program test: no Qt and no AMQP in $(basename "$ffsload"); windows handed over"
