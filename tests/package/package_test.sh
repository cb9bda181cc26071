#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, checks it with lintian (no error or warning), unpacks
# it and runs the installed CLI as an unprivileged user on the emulated programmer:
# it must find its data in share/qbr5150 and make its settings in ~/.config/qbr5150.
# Then installs with cmake under /usr/local and checks where the udev rule went.
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
[ ! -e "$work/root/etc" ] || { echo "the package installs into /etc"; exit 1; }

# `cmake --install` under /usr/local puts the rule where udev reads it, and the
# installed program's doctor names that file.
DESTDIR="$work/local" cmake --install "$build" --prefix /usr/local >install.log 2>&1 || { cat install.log; exit 1; }
[ -f "$work/local/etc/udev/rules.d/60-qbr5150.rules" ] || { echo "no udev rule in /etc/udev/rules.d"; exit 1; }
[ ! -e "$work/local/usr/local/lib/udev" ] || { echo "a udev rule under /usr/local"; exit 1; }
run_as_user "'$work/local/usr/local/bin/qbr5150-cli' --emulate --json doctor" >doctor.json
grep -q '"rule": *"/etc/udev/rules.d/60-qbr5150.rules"' doctor.json || { cat doctor.json; exit 1; }
echo "package installs and runs"
