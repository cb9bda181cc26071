#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the tests under the sanitizers, each in a build of its own beside the normal
# one:
#   asan  AddressSanitizer + UndefinedBehaviorSanitizer over every test
#   tsan  ThreadSanitizer over the tests of the link, the emulator and the commands,
#         where worker threads share buffers and counters with the UI thread, and
#         over the command-line tool's batches
#
#   scripts/test-sanitizers.sh [asan] [tsan]      (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=${SANITIZER_BUILD_ROOT:-build-sanitizers}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Qt's own libraries are not built with the sanitizers; leaks inside them are not ours.
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

# Configures $ROOT/NAME with the sanitizer FLAGS and any further cmake options.
# Light optimisation and line tables only: the build is most of the time spent here.
# Warnings are errors when the environment has CI=true.
configure() {
  local name=$1 flags=$2 werror=OFF
  shift 2
  [ "${CI:-}" = true ] && werror=ON
  cmake -S . -B "$ROOT/$name" -DCMAKE_BUILD_TYPE=Sanitize -DQBR_WERROR=$werror \
    -DCMAKE_CXX_FLAGS="$flags -O1 -g1 -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@" > /dev/null
}

run_asan() {
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
  configure asan "$flags"
  cmake --build "$ROOT/asan" -j2
  # The package test builds and installs a .deb, which the sanitizers add nothing
  # to; umockdev's preload library cannot come before the sanitizer's runtime.
  ctest --test-dir "$ROOT/asan" --output-on-failure -j2 -E "package_install|umockdev"
}

run_tsan() {
  echo "== ThreadSanitizer"
  local tests=(test_link test_emulator test_ops test_scenarios)
  configure tsan "-fsanitize=thread" -DQBR_BUILD_GUI=OFF
  cmake --build "$ROOT/tsan" -j2 --target "${tests[@]}" test_cli
  for test in "${tests[@]}"; do
    echo "-- $test"
    (cd "$ROOT/tsan/tests" && "../$test" --gtest_brief=1)
  done
  # The batches of the command-line tool: one core per programmer, each on a thread.
  echo "-- test_cli (batches)"
  (cd "$ROOT/tsan/tests" && ../test_cli --gtest_brief=1 --gtest_filter='CliProgrammer.ListsAndChoosesProgrammers') |
    tee "$ROOT/tsan/batches.log"
  # A renamed test would leave the filter selecting nothing, and the run passing.
  grep -q '^\[  PASSED  \] [1-9]' "$ROOT/tsan/batches.log"
}

kinds=("$@")
[[ ${#kinds[@]} -gt 0 ]] || kinds=(asan tsan)
for kind in "${kinds[@]}"; do
  case $kind in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "unknown sanitizer run: $kind (asan or tsan)" >&2; exit 2 ;;
  esac
done
