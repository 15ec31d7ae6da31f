#!/bin/bash
# What --compare adds to a real run: dirtally-report --all over TREE without and with --compare
# against the tree's own earlier report, taking turns, ROUNDS rounds (9 by default), for each
# format. shapes.py prints the medians of wall and processor time, the peak memory, and the
# compared run against the plain one (the goal: at most 10 % more).
#
#   bench/comparerun.sh BUILD TREE [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1 tree=$2 rounds=${3:-9}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
report="$build/dirtally-report --all -o /dev/null"
for format in text csv json; do
    "$build/dirtally-report" --all --format="$format" -o "$scratch/previous" "$tree" || [ $? = 3 ]
    python3 "$here/shapes.py" time --rounds "$rounds" \
        --run "plain=$report --format=$format FOLDER" \
        --run "compared=$report --format=$format --compare=$scratch/previous FOLDER" \
        --ratio "compared/plain<=1.10" "$format, $(basename "$tree")" "$tree"
done
