#!/usr/bin/env bash
# The main job: builds ffsload, starts the simulated handset on a
# pseudo-terminal and runs the example station's script against it.
#   scripts/demo.sh [SCRIPT]   (a .tms file of examples/station; default main.tms)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"

station="$root/examples/station"
script=${1:-testmode.tms}
work=$(mktemp -d /tmp/ffsload-demo.XXXXXX)
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$root/build/src/ffsload-sim" --link "$work/handset" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
echo "simulated handset on $(head -n1 "$work/sim.out")" >&2

cd "$station"
set +e
"$root/build/src/ffsload" run --port 3 --device "$work/handset" --script "$script"
rc=$?
set -e
exit $rc
