#!/usr/bin/env bash
# Builds the Debian package ffsload_VERSION_amd64.deb in the repository's
# root folder: a release build without the tests, then CPack.
#   scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" package
"$root/scripts/build.sh" "$root/build-package" -DCMAKE_BUILD_TYPE=Release -DFFSLOAD_TESTS=OFF
(cd "$root/build-package" && cpack -G DEB >/dev/null)
deb=$(ls "$root"/build-package/ffsload_*_amd64.deb)
cp "$deb" "$root/"
echo "$root/$(basename "$deb")"
