#!/usr/bin/env bash
# The layering check passes on the tree as it is, and fails, naming the file
# and line, on each kind of breach planted in a copy of it.
set -euo pipefail
check=$1
src=$2
work=$(mktemp -d /tmp/ffsload-layers.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 "$check" "$src"

plant() {  # plant FILE LINE EXPECTED-TEXT
  rm -rf "$work/src"
  cp -r "$src" "$work/src"
  printf '%s\n' "$2" >>"$work/src/$1"
  if out=$(python3 "$check" "$work/src"); then
    echo "not caught: $2 in $1"
    exit 1
  fi
  grep -q -- "$3" <<<"$out" || { echo "caught, but not as \"$3\": $out"; exit 1; }
}
plant link/link.h '#include "ui/panels.h"' 'link/ includes ui/panels.h, a room above or beside it'
plant fs/readback.cpp '#include "commands/test_mode.h"' 'fs/ includes commands/test_mode.h'
plant run/run_session.cpp '#include "cli/run_command.h"' 'run/ includes cli/run_command.h'
plant records/report.cpp '#include <QString>' 'Qt header <QString> outside the panel back end'
plant multiport/grid_tile.cpp 'static int f() { return fork(); }' 'fork() above platform/'
plant cli/repeat_mode.cpp 'static void g() { struct sigaction a {}; sigaction(SIGINT, &a, nullptr); }' 'sigaction() above platform/'
plant ui/startup.cpp '#include <termios.h>' '<termios.h> above platform/'
echo "every planted breach was caught"
