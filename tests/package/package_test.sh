#!/usr/bin/env bash
# Builds the Debian package from this build tree, has Debian's package
# checker (lintian) look it over, unpacks it into a fresh folder tree (not
# the system), and uses what it installs: the version, a short run of the
# installed ffsload against the installed ffsload-sim, the panel file where
# the program looks for it, the man pages rendered without warnings and
# showing the version, the copyright file and the changelog.
#   package_test.sh BUILD-DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/ffsload-package-test.XXXXXX)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(ls "$work"/out/ffsload_*_amd64.deb) || fail "no ffsload_VERSION_amd64.deb was made"
info=$(dpkg-deb -I "$deb")
grep -q '^ Depends:.*libqt6widgets6' <<<"$info" || fail "the package does not depend on Qt"
grep -q '^ Depends:.*libpq5' <<<"$info" || fail "the package does not depend on libpq5"
grep -q '^ Depends:.*libunistring2' <<<"$info" || fail "the package does not depend on libunistring2"
grep -q '^ Depends:.*libre2' <<<"$info" || fail "the package does not depend on libre2"
grep -q '^ Depends:.*libqt6multimedia6' <<<"$info" ||
  fail "the package does not depend on Qt Multimedia (the end-of-run sounds)"
grep -q '^ Depends:.*libnettle8' <<<"$info" || fail "the package does not depend on libnettle8"
grep -q '^ Depends:.*libsodium23' <<<"$info" ||
  fail "the package does not depend on libsodium23 (the PINs' hashes, the audit trail)"
# Chinese panels are empty boxes without a CJK font.
grep -q '^ Recommends:.*fonts-noto-cjk' <<<"$info" ||
  fail "the package does not recommend fonts-noto-cjk for the Chinese panels"
# Errors fail the test; warnings and notes are printed, for the reviewer.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
lintian_rc=0
lintian --fail-on error --display-info "$deb" >"$work/lintian.txt" 2>&1 || lintian_rc=$?
sed 's/^/lintian: /' "$work/lintian.txt"
[ "$lintian_rc" -eq 0 ] || fail "lintian found errors in the package (above)"
dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr

version=$("$usr/bin/ffsload" --version)
[[ $version =~ ^ffsload\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "ffsload --version printed \"$version\""
[ -f "$usr/share/ffsload/download.uir" ] || fail "no panel file in share/ffsload"
[ -x "$usr/libexec/ffsload-gui" ] || fail "no window program in libexec"
[ -x "$usr/libexec/ffsload-board" ] || fail "no board program in libexec"
grep -q '^ Depends:.*libcpp-httplib' <<<"$info" || fail "the package does not depend on cpp-httplib"
! grep -q 'httplib' <<<"$(ldd "$usr/bin/ffsload")" || fail "the installed ffsload links the board's HTTP library"
! grep -q 'libQt' <<<"$(ldd "$usr/bin/ffsload")" || fail "the installed ffsload links Qt"
# The IPC-CFX sender: the one program with the AMQP library, and its service.
[ -x "$usr/libexec/ffsload-cfx" ] || fail "no IPC-CFX sender program in libexec"
grep -q '^ Depends:.*libqpid-proton-cpp12' <<<"$info" || fail "the package does not depend on libqpid-proton-cpp12"
! grep -q 'qpid-proton' <<<"$(ldd "$usr/bin/ffsload")" || fail "the installed ffsload links the AMQP library"
grep -q 'qpid-proton-cpp' <<<"$(ldd "$usr/libexec/ffsload-cfx")" || fail "ffsload-cfx does not link Qpid Proton"
unit=$usr/lib/systemd/system/ffsload-cfx@.service
grep -q '^ExecStart=/usr/bin/ffsload cfx --as-folder-owner$' "$unit" 2>/dev/null || fail "no systemd unit ffsload-cfx@.service"
# "ffsload cfx" in the installed tree finds the installed sender.
cfx_out=$(cd "$work" && "$usr/bin/ffsload" cfx --status 2>&1 || true)
grep -q 'cfx-broker is not set' <<<"$cfx_out" || fail "ffsload cfx did not reach ffsload-cfx: $cfx_out"
# ffsload alone hands over to the installed window program, which says it has
# no display rather than failing to be found.
nodisplay=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/ffsload" 2>&1 || true)
grep -q 'no display to show the panels on' <<<"$nodisplay" ||
  fail "ffsload alone did not reach the window program: $nodisplay"
[ -f "$usr/share/bash-completion/completions/ffsload" ] || fail "no bash completion"
for guide in README.md docs/architecture.md docs/reliability.md docs/benchmarks.md docs/board.md \
  docs/records.md; do
  [ -f "$usr/share/doc/ffsload/$guide" ] || fail "no $guide in share/doc/ffsload"
done

doc=$usr/share/doc/ffsload
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$doc/copyright" 2>/dev/null || fail "no machine-readable copyright file in share/doc/ffsload"
changelog=$(gzip -dc "$doc/changelog.gz" 2>/dev/null) || fail "no changelog.gz in share/doc/ffsload"
newest=${changelog%%$'\n'*}
[[ $newest == "ffsload (${version#ffsload }) "* ]] ||
  fail "the changelog's newest entry is \"$newest\", not $version"

for page in "$usr"/share/man/man1/ffsload.1.gz "$usr"/share/man/man1/ffsload-sim.1.gz \
  "$usr"/share/man/man5/ffsload-tms.5.gz "$usr"/share/man/man5/ffsload.conf.5.gz; do
  [ -f "$page" ] || fail "no man page $(basename "$page")"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $(basename "$page"): $warnings"
  # The title line's footer shows the version, as "man" prints it.
  text=$(gzip -dc "$page")
  title=$(grep -m1 '^\.TH ' <<<"$text" || true)
  [[ $title == *"\"$version\""* ]] || fail "man page $(basename "$page") shows no version: $title"
  ! grep -q '@[A-Z_]*@' <<<"$text" || fail "man page $(basename "$page") has a placeholder left"
done

cp -r "$usr/share/doc/ffsload/examples/station" "$work/station"
"$usr/bin/ffsload-sim" --link "$work/handset" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
[ -s "$work/sim.out" ] || fail "the installed ffsload-sim did not start: $(cat "$work/sim.err")"
(cd "$work/station" && "$usr/bin/ffsload" run --port 3 --device "$work/handset" \
  --script testmode.tms >"$work/run.out" 2>"$work/run.err") ||
  fail "the installed ffsload did not run green: $(cat "$work/run.err")"
grep -q '^tms 1  => 0 (1)$' "$work/run.out" || fail "unexpected run log: $(cat "$work/run.out")"
echo "package test: $(basename "$deb") installs and runs"
