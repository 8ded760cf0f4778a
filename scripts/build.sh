#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh [DIR [extra cmake options]]
# With ccache installed (scripts/setup.sh installs it) compiles are cached, so
# the three trees of the test command and later runs share what is unchanged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$root"
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir"
