#!/bin/bash
# Runs every fuzz target of tests/fuzz for SECONDS (60 by default) on a copy of its seed corpus,
# and prints one line per target: executions, coverage (libFuzzer's final cov and ft), crashes.
#
#   bench/fuzz.sh [SECONDS] [BUILD_DIR]     (BUILD_DIR: build-fuzz beside the sources by default)
#
# A new build folder is configured with clang and DIRTALLY_FUZZ, every other option off; one that
# is a fuzz build already is used as it is (tools/test.sh's holds the sanitized tests as well).
# Targets run one after the other; DIRTALLY_FUZZ_JOBS=2 runs two at a time. A crashing input is
# kept in BUILD_DIR/fuzz-crashes/<target>/; the script then exits non-zero.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
seconds=${1:-60}
build=$(realpath -m "${2:-$source_dir/build-fuzz}")
jobs=${DIRTALLY_FUZZ_JOBS:-1}

if ! grep -qx 'DIRTALLY_FUZZ:BOOL=ON' "$build/CMakeCache.txt" 2> /dev/null; then
    cmake -S "$source_dir" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRTALLY_FUZZ=ON -DDIRTALLY_TESTS=OFF \
        -DDIRTALLY_WERROR=ON -DDIRTALLY_SANITIZE=OFF -DDIRTALLY_TSAN=OFF > /dev/null
fi
cmake --build "$build" --target fuzz_targets -j2 > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One target: its corpus grows in the temporary folder, its log is summed up in one line.
run() {
    local target=$1 crashes="$build/fuzz-crashes/$1"
    mkdir -p "$work/$target" "$crashes"
    cp -r "$source_dir/tests/fuzz/corpus/$target/." "$work/$target/"
    local status=0
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$work/$target" > "$work/$target.log" 2>&1 || status=$?
    local runs cov
    runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$work/$target.log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$work/$target.log" | tail -1)
    if [ "$status" = 0 ]; then
        printf '%-18s %12s executions  %-20s no crash\n' "$target" "${runs:-?}" "$cov"
    else
        local saved
        saved=$(grep -o 'Test unit written to .*' "$work/$target.log" | sed 's/.* to //')
        printf '%-18s %12s executions  %-20s CRASH (exit %s), input: %s\n' "$target" \
            "${runs:-?}" "$cov" "$status" "${saved:-none saved}"
        grep -m3 -E 'ERROR|SUMMARY|runtime error|deadly signal' "$work/$target.log" | sed 's/^/    /'
        return 1
    fi
}

targets=$(cd "$source_dir/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
for target in $targets; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    (run "$target" > "$work/$target.line" || touch "$work/crashed") &
done
wait
for target in $targets; do
    cat "$work/$target.line"
done
[ ! -e "$work/crashed" ]
