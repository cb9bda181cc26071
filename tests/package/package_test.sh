#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, checks it with lintian (no error or warning), unpacks
# it and runs the installed CLI as an unprivileged user on the emulated programmer:
# it must find its data in share/qbr5150 and make its settings in ~/.config/qbr5150.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

cd "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
command -v lintian >/dev/null || { echo "lintian is missing (scripts/install-deps.sh installs it)"; exit 1; }
lintian --fail-on error,warning qbr5150_*.deb || { echo "lintian finds fault with the package"; exit 1; }
dpkg-deb -x qbr5150_*.deb root
mkdir -m 777 home

user=nobody
run_as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    su "$user" -s /bin/sh -c "HOME=$work/home $*"
  else
    sh -c "HOME=$work/home $*"
  fi
}

run_as_user "'$work/root/usr/bin/qbr5150-cli' -q --emulate read '$work/home/out.bin'"
size=$(stat -c %s "$work/home/out.bin")
[ "$size" -eq 1048576 ] || { echo "read $size bytes instead of 1048576"; exit 1; }
[ -f "$work/home/.config/qbr5150/config.ini" ] || { echo "no user config.ini"; exit 1; }
grep -q '^DataBaseFile=chips.dat' "$work/home/.config/qbr5150/config.ini"
[ -f "$work/root/usr/lib/udev/rules.d/60-qbr5150.rules" ] || { echo "no udev rule"; exit 1; }
echo "package installs and runs"
