#!/usr/bin/env bash
# The main job: builds ffsload and ffsload-sim (only these two, and what they
# link: the demo runs nothing else, and the test command builds the rest in
# the same tree), starts the simulated handset on a pseudo-terminal and runs
# the example station's script against it. Then it
# stops the handset, has it dump its flash file system into a folder and shows
# that every file the script downloaded equals its PC file byte for byte, and
# that the handset's IMEI file survived the format.
# The handset starts with the flash of examples/handset (an IMEI file); the
# run works in a copy of the station folder, since it writes the IMEI backup.
#   scripts/demo.sh [SCRIPT]   (a .tms file of examples/station; default main.tms)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" demo
"$root/scripts/build.sh" "$root/build" -- ffsload ffsload-sim

script=${1:-main.tms}
work=$(mktemp -d /tmp/ffsload-demo.XXXXXX)
cp -r "$root/examples/station" "$work/station"
station="$work/station"
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$root/build/src/ffsload-sim" --link "$work/handset" --load "$root/examples/handset" \
  --dump "$work/flash" \
  >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
echo "simulated handset on $(head -n1 "$work/sim.out")" >&2

cd "$station"
set +e
"$root/build/src/ffsload" run --port 3 --device "$work/handset" --script "$script"
rc=$?
set -e

# Stop the handset; it writes its flash into $work/flash as it goes.
kill -TERM "$sim_pid"
sim_rc=0
wait "$sim_pid" || sim_rc=$?
sim_pid=
if [ "$sim_rc" -ne 0 ]; then
  cat "$work/sim.err" >&2
  echo "the simulated handset could not dump its flash" >&2
  exit 1
fi

# The files the script leaves on the handset: "cd" sets the directory, "fwr"
# downloads (handset name, PC name), "rm" removes. Port 3 takes no suffix;
# IMEI files go only after a read-back, so they are not expected here.
echo "--- handset flash against the PC files" >&2
differ=0
while read -r kind handset pc; do
  if [ "$kind" = gone ]; then
    if [ -e "$work/flash$handset" ]; then
      echo "still on the handset: $handset" >&2
      differ=1
    else
      echo "removed     $handset" >&2
    fi
  elif cmp "$work/flash$handset" "$pc"; then
    echo "identical   $handset = $pc ($(stat -c %s "$pc") bytes)" >&2
  else
    differ=1
  fi
done < <(awk '
  $1 == "cd" { dir = $2 }
  $1 == "fwr" && $3 !~ /^IMEI/ { file[dir "/" $2] = $3; delete gone[dir "/" $2] }
  $1 == "rm" { delete file[dir "/" $2]; gone[dir "/" $2] = 1 }
  END { for (h in file) print "kept", h, file[h]; for (h in gone) print "gone", h, "-" }
' "$script" | sort -k2)

if grep -q '^frd IMEI IMEI' "$script"; then
  if cmp "$work/flash/IMEI" "$root/examples/handset/IMEI"; then
    echo "preserved   /IMEI ($(stat -c %s "$work/flash/IMEI") bytes, as before the format)" >&2
  else
    echo "the handset's IMEI file did not survive the run" >&2
    differ=1
  fi
fi

if [ "$rc" -eq 0 ] && [ "$differ" -ne 0 ]; then
  echo "the run ended green but the handset's files differ from the PC files" >&2
  exit 1
fi
exit $rc
