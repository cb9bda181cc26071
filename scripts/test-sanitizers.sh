#!/usr/bin/env bash
# Runs the test suite under the sanitizers, each in a build of its own:
# AddressSanitizer + UndefinedBehaviorSanitizer over every test, and
# ThreadSanitizer over the tests of the link, the emulator and the commands,
# where worker threads share buffers and counters with the user-interface thread.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=${SANITIZER_BUILD_ROOT:-build-sanitizers}

run_build() {
  local name=$1 flags=$2
  shift 2
  cmake -S . -B "$ROOT/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" "$@" > /dev/null
  cmake --build "$ROOT/$name" -j2
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# Qt's own libraries are not built with the sanitizers; leaks inside them are not ours.
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
run_build asan "-fsanitize=address,undefined -fno-sanitize-recover=undefined"
ctest --test-dir "$ROOT/asan" --output-on-failure -j2 -E "package_install|umockdev"

echo "== ThreadSanitizer"
run_build tsan "-fsanitize=thread" -DQBR_BUILD_GUI=OFF
ctest --test-dir "$ROOT/tsan" --output-on-failure -j2 \
  -R '^(UsbLink|TransferEngine|Protocol|ProgrammerProtocol|Emulat|ChipCommands|VerifyChip|DetectChip|Maintenance|FirmwareUpdate|BufferCommands)'
