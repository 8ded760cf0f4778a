#!/usr/bin/env bash
# Configures and builds one tree:
#   scripts/build.sh [DIR [extra cmake options] [-- TARGET...]]
# Every target, or only the targets after "--" (and what they link).
# With ccache installed (scripts/setup.sh installs it) compiles are cached, so
# the three trees of the test command and later runs share what is unchanged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
options=()
targets=()
while (($#)); do
  if [ "$1" = -- ]; then
    shift
    (($#)) && targets=(--target "$@")
    break
  fi
  options+=("$1")
  shift
done
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths relative to the tree, and the build folder left out of the hash, so
  # that a fresh clone elsewhere on the machine finds what an earlier one built.
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null
cmake --build "$dir" "${targets[@]}"
