#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building, running and testing need.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config dpkg-dev file
  qt6-base-dev libusb-1.0-0-dev libcli11-dev nlohmann-json3-dev zlib1g-dev libssl-dev
  libgtest-dev libgmock-dev umockdev libumockdev-dev srecord
  libsqlite3-dev sqlite3 libpq-dev postgresql
  clang libclang-rt-14-dev llvm clang-format
  lintian bash-completion
  fonts-wqy-microhei qt6-translations-l10n
  chromium python3-pil
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build dependencies are installed."
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
