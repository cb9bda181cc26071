#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the program: the window when a
# display is available, otherwise the command-line tool's chip search.
# The first run takes about 3 minutes on two cores (most of it the build); a run
# with everything installed and built takes seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Installing what is missing and building (about 3 minutes on two cores the first time), then starting the program."
scripts/install-deps.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/qbr5150" "$@"
else
  echo "No display: running the command-line tool instead."
  exec "$BUILD_DIR/qbr5150-cli" chips "${1:-EN25*80}"
fi
