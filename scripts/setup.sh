#!/usr/bin/env bash
# Installs what the build needs on Debian 12, if it is missing. Idempotent.
#   scripts/setup.sh        the build and every test's tools (the test command, the package)
#   scripts/setup.sh demo   the build alone: what the demo needs to build and run its two programs
#   scripts/setup.sh fuzz   as the first, and clang with libFuzzer
set -euo pipefail
# The build: CMake looks for every one of these libraries when it configures
# the tree, also when the demo then builds only ffsload and ffsload-sim. The
# operator panels need Qt 6 Widgets, UiTools to load the panel file and SVG
# for the yield chart; the line board an HTTP server from Debian; the tests'
# tree GoogleTest. The unit serial's pattern is matched by RE2 (linear time);
# Unicode's categories and names, for the characters an identity must not
# hold, come from libunistring. The windows' translations are built from
# translations/*.ts by Qt's lrelease (qt6-l10n-tools; qt6-tools-dev has its
# CMake functions), which lupdate of the same package keeps in step. The
# end-of-run sounds play through Qt Multimedia (the package then depends on
# its runtime library through dpkg-shlibdeps). The factory network's messages (IPC-CFX) are JSON written
# by nlohmann-json (header only, keeps field order) and carry SHA-256 digests
# from Nettle (every Debian system has libnettle for GnuTLS). The SQLite
# files (records, outbox, CFX queue) are written through SQLiteCpp.
needed=(cmake ninja-build g++ ccache pkg-config libgtest-dev libcli11-dev libsqlite3-dev
  libsqlitecpp-dev libpq-dev
  qt6-base-dev qt6-tools-dev qt6-svg-dev qt6-multimedia-dev libcpp-httplib-dev libre2-dev
  libunistring-dev nlohmann-json3-dev nettle-dev qt6-l10n-tools)
# The IPC-CFX sender (ffsload-cfx, the one program that links it) speaks
# AMQP 1.0 through Qpid Proton's C++ API; its header set needs the C
# library's development files too.
needed+=(libqpid-proton-cpp12-dev libqpid-proton11-dev)
# The people's PINs are hashed with Argon2id and the audit trail is chained
# with SHA-256, both from libsodium.
needed+=(libsodium-dev)
if [ "${1:-}" != demo ]; then
  # The tests' own tools: Python for the checks that the tests run,
  # a throwaway PostgreSQL server, a virtual display with keystrokes and
  # screenshots for the panels, a headless browser for the board, and bash
  # completion to run the completion as a shell does.
  needed+=(python3 postgresql xvfb xdotool imagemagick chromium bash-completion)
  # Chinese glyphs for the panels under Xvfb and the board in Chromium:
  # without a CJK font their screenshots show boxes. Qt's own translations
  # of its dialogs; the package recommends both.
  needed+=(fonts-noto-cjk qt6-translations-l10n)
  # The sounds' test starts a PulseAudio server of its own with a null sink
  # and records it (parec, pactl).
  needed+=(pulseaudio pulseaudio-utils)
  # The CFX tests' own broker (RabbitMQ with its AMQP 1.0 plugin, started by
  # the tests on loopback, never as the system's service), and the AMQP 1.0
  # client for their consumer and fake MES (Python's Qpid Proton binding);
  # the openssl command makes their CA and certificates at test time.
  needed+=(rabbitmq-server python3-qpid-proton openssl)
  # The package's dependencies are found by dpkg-shlibdeps (dpkg-dev); its
  # test renders the man pages (man-db) and runs Debian's package checker.
  needed+=(dpkg-dev man-db lintian)
fi
[ "${1:-}" = fuzz ] && needed+=(clang libclang-rt-14-dev)
missing=()
for p in "${needed[@]}"; do
  grep -q "install ok installed" <<<"$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
