#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# fuzz/run_fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]: builds the fuzz targets (a new
# BUILD_DIR is configured for clang) and runs each on one core for SECONDS on a copy of
# its seed corpus; fails on any finding, kept in BUILD_DIR/fuzz/findings/<target>/.
set -u
[[ $# -ge 1 ]] || { echo "usage: $0 BUILD_DIR [SECONDS] [TARGET...]" >&2; exit 2; }
build_dir=$1 seconds=${2:-20}
shift $(( $# >= 2 ? 2 : 1 ))
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
targets=("$@")
[[ $# -gt 0 ]] || targets=(fuzz_intel_hex fuzz_srecord fuzz_chip_database fuzz_config_ini fuzz_device_replies)

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -DQBR_BUILD_FUZZERS=ON \
        -DQBR_BUILD_GUI=OFF -DQBR_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
fi
cmake --build "$build_dir" --target qbr-fuzzers -j2 || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
    findings=$build_dir/fuzz/findings/$target log=$work/$target.log
    mkdir -p "$findings" && cp -r "$source_dir/fuzz/corpus/$target" "$work/$target"
    # One process on one core; -jobs would fork a child that logs to ./fuzz-0.log.
    "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work/$target" >"$log" 2>&1
    status=$?
    echo "$target: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" | tr '\n' ' ')exit status $status"
    if [[ $status -ne 0 ]]; then
        failed=1
        grep -E -A40 '^==[0-9]+==ERROR|runtime error|deadly signal|Test unit written' "$log" | head -80
        ls -l "$findings"
    fi
done
exit $failed
