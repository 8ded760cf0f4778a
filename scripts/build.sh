#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh [DIR [extra cmake options]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
