#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks the format of the C++ sources, builds, and runs
# every test: the suite on the normal build, then again under the sanitizers
# (builds of their own), then each fuzz target for a short, fixed time on its
# seed corpus. It takes 25 to 30 minutes on two cores from a fresh clone: the
# builds are most of it; the normal suite alone takes about two minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Format check, build, every test, the tests under the sanitizers, then the fuzzers: 25 to 30 minutes on two cores."
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
scripts/test-sanitizers.sh
fuzz/run_fuzzers.sh "${FUZZ_BUILD_DIR:-build-fuzz}" "${FUZZ_SECONDS:-15}"
echo "All tests passed."
