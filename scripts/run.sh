#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the program: the window when a
# display is available, otherwise the command-line tool's chip search.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/qbr5150" "$@"
else
  echo "No display: running the command-line tool instead."
  exec "$BUILD_DIR/qbr5150-cli" chips "${1:-EN25*80}"
fi
