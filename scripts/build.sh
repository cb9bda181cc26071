#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the project into build/ (or $BUILD_DIR); warnings are errors
# when the environment has CI=true.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
WERROR=OFF
[ "${CI:-}" = true ] && WERROR=ON
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DQBR_WERROR=$WERROR
cmake --build "$BUILD_DIR" -j2
