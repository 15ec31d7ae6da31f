#!/bin/bash
# What --compare adds to a real run: dirtally-report --all over TREE, taking turns without and
# with --compare against its own earlier report, ROUNDS rounds (3 by default) for each format.
# Prints each run's wall, user and system seconds and peak memory (/usr/bin/time), then the
# medians.
#
#   bench/comparerun.sh BUILD TREE [ROUNDS]
set -euo pipefail
build=$1 tree=$2 rounds=${3:-3}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
report() { "$build/dirtally-report" --all "$@" "$tree"; }
timed() {
    /usr/bin/time -f '%e %U %S %M' -a -o "$1" "$build/dirtally-report" --all "${@:2}" "$tree"
}
for format in text csv json; do
    report --format="$format" -o "$scratch/previous" || [ $? = 3 ]
    for _ in $(seq "$rounds"); do
        timed "$scratch/plain" --format="$format" -o /dev/null || [ $? = 3 ]
        timed "$scratch/compared" --format="$format" --compare="$scratch/previous" -o /dev/null ||
            [ $? = 3 ]
    done
    for kind in plain compared; do
        python3 - "$format" "$kind" "$scratch/$kind" <<'PY'
import statistics, sys
runs = [list(map(float, line.split())) for line in open(sys.argv[3]) if line.strip()]
wall, cpu, mem = (statistics.median(column) for column in
                  ([r[0] for r in runs], [r[1] + r[2] for r in runs], [r[3] for r in runs]))
print(f"{sys.argv[1]:5} {sys.argv[2]:9} median {wall:6.2f} s wall, {cpu:6.2f} s cpu, "
      f"{mem / 1024:7.1f} MB")
PY
    done
    rm -f "$scratch/plain" "$scratch/compared"
done
