#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into their own build folder and runs each for
# SECONDS (default 60), JOBS at a time (default 2). Fails on any finding: the input that
# broke a target is kept in BUILD/findings/ with the target's log; replay it with
# BUILD/fuzz/<target>_fuzz FILE, then add it to tests/hardening/fuzz-regressions/<target>/.
# Each target's corpus grows in BUILD/corpus/ from one run to the next.
# Usage: fuzz/run-fuzzers.sh [SECONDS] [JOBS]   (BUILD: FUZZ_BUILD_DIR, default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${2:-2}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(clipboard unique_target_path lies_in_target fc_utility)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DFERRYMARK_FUZZ=ON -DFERRYMARK_GUI=OFF -DFERRYMARK_TESTS=OFF -DFERRYMARK_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

findings=$build/findings
rm -rf "$findings"
mkdir -p "$findings" "$build/tmp"

run_target() {  # target
    local t=$1 corpus=$build/corpus/$1 dict=()
    mkdir -p "$corpus"
    [ -f "fuzz/$t.dict" ] && dict=("-dict=fuzz/$t.dict")
    # The scratch folders of unique_target_path go to the build folder.
    local status=0
    TMPDIR=$PWD/$build/tmp "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$t-" "${dict[@]}" \
        "$corpus" "fuzz/corpus/$t" >"$findings/$t.log" 2>&1 || status=$?
    echo "$status" >"$findings/$t.status"
}

for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    echo "fuzzing $t for $seconds s"
    run_target "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
    status=$(cat "$findings/$t.status" 2>/dev/null || echo "none")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$findings/$t.log")
    found=$(find "$findings" -maxdepth 1 -name "$t-*" | wc -l)
    if [ "$status" != 0 ] || [ "$found" -ne 0 ] || [ -z "$runs" ]; then
        failed=1
        echo "FAIL $t: exit $status, ${runs:-no} executions, $found finding(s); log: $findings/$t.log"
        grep -E "invariant broken|ERROR: |SUMMARY: " "$findings/$t.log" | head -5 || true
        find "$findings" -maxdepth 1 -name "$t-*" -exec echo "  input: {}" \;
    else
        echo "ok   $t: $runs executions in $seconds s, no finding"
    fi
done
rm -rf "${build:?}/tmp"
exit "$failed"
