#!/usr/bin/env bash
# Installs what the build needs on Debian 12, if it is missing. Idempotent.
set -euo pipefail
needed=(cmake ninja-build g++ ccache pkg-config python3 libgtest-dev libcli11-dev libsqlite3-dev libpq-dev postgresql)
# The unit serial's pattern is matched by RE2 (linear time); Unicode's
# categories and names, for the characters an identity must not hold, come
# from libunistring.
needed+=(libre2-dev libunistring-dev)
# The operator panels (Qt 6 Widgets, and UiTools to load the panel file), and
# for their end-to-end test a virtual display, keystrokes and screenshots.
needed+=(qt6-base-dev qt6-tools-dev qt6-svg-dev xvfb xdotool imagemagick)
# The line board: an HTTP server from Debian (header-only, used without
# OpenSSL), and for its end-to-end test a real browser, headless.
needed+=(libcpp-httplib-dev chromium)
# The package's dependencies are found by dpkg-shlibdeps (dpkg-dev); its
# test renders the man pages (man-db).
needed+=(dpkg-dev man-db)
# "scripts/setup.sh fuzz" also brings clang with libFuzzer.
[ "${1:-}" = fuzz ] && needed+=(clang libclang-rt-14-dev)
missing=()
for p in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
