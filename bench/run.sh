#!/bin/bash
# Times Dirtally's size engine against du, gdu and ncdu, warm and cold, on a generated tree of
# 1,000,000 files in 100,000 folders and on /usr, and prints each ratio and the peak memory.
#
#   bench/run.sh [FOLDER]     (the tree goes in FOLDER, /tmp by default; it is kept for reuse:
#                              umount FOLDER/dirtally-bench-tree and remove dirtally-bench-tree*)
#
# Where the script may mount (root), the tree lives on its own ext4 file system in an image
# file inside FOLDER: on some machines the root file system creates files a thousand times more
# slowly than a fresh ext4, and a million of them would take most of an hour. The image sits on
# the same disk, so cold runs still read from it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
place=${1:-/tmp}
tree="$place/dirtally-bench-tree"
files=1000000
folders=100000
warm_runs=5
cold_runs=2

need=()
for tool in gdu ncdu hyperfine; do
    command -v "$tool" > /dev/null || need+=("$tool")
done
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${need[@]}"
fi

cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDIRTALLY_TESTS=OFF > /dev/null
cmake --build "$build" --target sizebench gentree reportbench dirtally-report -j2 > /dev/null
sizebench="$build/bench/sizebench"
reportbench="$build/bench/reportbench"
command="$build/dirtally-report"

# Mounts the image with direct I/O on the loop device, so that a cold read goes to the disk
# rather than to a second cache of the image file.
mount_image() {
    mount -o loop "$tree.img" "$tree" || return 1
    losetup --direct-io=on "$(findmnt -no SOURCE "$tree")" || true
}

# The tree: made once, on its own ext4 where mounting is allowed.
if ! [ -f "$tree.done" ]; then
    if mountpoint -q "$tree"; then
        umount "$tree"
    fi
    rm -rf "$tree" "$tree.img"
    mkdir -p "$tree"
    if truncate -s 16G "$tree.img" && mkfs.ext4 -q -F -N 1300000 "$tree.img" && mount_image; then
        echo "tree: on an ext4 image mounted at $tree"
    else
        rm -f "$tree.img"
    fi
    echo "generating $files files in $folders folders ..."
    "$build/bench/gentree" "$tree/t" "$files" "$folders" > "$tree.done"
elif [ -f "$tree.img" ] && ! mountpoint -q "$tree"; then
    mount_image
fi
target="$tree/t"
expected=$(cat "$tree.done")
got=$("$sizebench" "$target" | awk '{print $2}')
echo "tree: $expected bytes expected, the engine says $got"
[ "$expected" = "$got" ] || { echo "the engine's size is wrong" >&2; exit 1; }

can_drop=no
if (sync && echo 3 > /proc/sys/vm/drop_caches) 2> /dev/null; then
    can_drop=yes
fi

# Times the engine and the peers on one folder and prints median times and ratios. The commands
# take turns, one run each per round, so that a burst of load from elsewhere on the machine hits
# them all alike rather than whichever happened to be running.
compare() {
    local label=$1 folder=$2 rounds=$3 first=$4
    shift 4
    local dir
    dir=$(mktemp -d)
    for round in $(seq "$rounds"); do
        local extra=("$@")
        [ "$round" = 1 ] && extra+=($first)
        hyperfine -N -i --style none --runs 1 "${extra[@]}" --export-json "$dir/$round.json" \
            -n engine "$sizebench $folder" \
            -n engine-each "$sizebench --each $folder" \
            -n "du -sb" "du -sb $folder" \
            -n "gdu -n" "gdu -n $folder" \
            -n "ncdu -0" "ncdu -0 -o /dev/null $folder" > /dev/null 2>&1
    done
    python3 "$here/medians.py" peers "$label" "$dir"
    rm -rf "$dir"
}

# Times the whole report runs against the engine alone on one folder: the one-level report should
# cost no more than 1.1 times the engine, the all-sub-folders report no more than 1.5 times.
reports() {
    local label=$1 folder=$2 rounds=$3 dir
    dir=$(mktemp -d)
    for round in $(seq "$rounds"); do
        hyperfine -N -i --style none --runs 1 --export-json "$dir/$round.json" \
            -n engine "$sizebench $folder" \
            -n one-level "$reportbench $folder $dir/one.txt" \
            -n all-sub-folders "$reportbench --all $folder $dir/all.txt" > /dev/null 2>&1
    done
    python3 "$here/medians.py" engine "$label" "$dir"
    rm -rf "$dir"
}

# Times dirtally-report, the whole command as a user runs it, against the peers that size each
# sub-folder of a folder (du -sb DIR/*/, as the report does) and against the engine alone: goals
# 2x faster than the fastest peer, within 1.05x the engine.
command_vs_peers() {
    local label=$1 folder=$2 rounds=$3 dir
    dir=$(mktemp -d)
    local subs=("$folder"/*/)
    for round in $(seq "$rounds"); do
        local extra=()
        [ "$round" = 1 ] && extra+=(--warmup 1)
        hyperfine -N -i --style none --runs 1 "${extra[@]}" --export-json "$dir/$round.json" \
            -n engine "$sizebench --each $folder" \
            -n dirtally-report "$command -o $dir/report.txt $folder" \
            -n "du -sb DIR/*/" "du -sb ${subs[*]}" \
            -n "gdu -n" "gdu -n $folder" \
            -n "ncdu -0" "ncdu -0 -o /dev/null $folder" > /dev/null 2>&1
    done
    python3 "$here/medians.py" command "$label" "$dir"
    rm -rf "$dir"
}

peak() {
    /usr/bin/time -f "%M" "$@" 2>&1 > /dev/null | tail -1
}

echo
echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB memory, $(uname -r)"
echo "date: $(date -u +%Y-%m-%dT%H:%MZ)"
echo "peak memory on the tree (KiB): engine $(peak "$sizebench" "$target")," \
    "du $(peak du -sb "$target"), gdu $(peak gdu -n "$target")," \
    "ncdu $(peak ncdu -0 -o /dev/null "$target")"

compare "warm, generated tree (median of $warm_runs)" "$target" "$warm_runs" "--warmup 1"
compare "warm, /usr (median of $warm_runs)" /usr "$warm_runs" "--warmup 1"
reports "reports, warm, generated tree (median of $warm_runs)" "$target" "$warm_runs"
command_vs_peers "dirtally-report, warm, generated tree (median of $warm_runs)" "$target" \
    "$warm_runs"
echo "peak memory of the all-sub-folders report on the tree (KiB):" \
    "$(peak "$reportbench" --all "$target" /dev/null)"
if [ "$can_drop" = yes ]; then
    drop="sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches'"
    compare "cold, generated tree (median of $cold_runs)" "$target" "$cold_runs" "" --prepare "$drop"
    compare "cold, /usr (median of $cold_runs)" /usr "$cold_runs" "" --prepare "$drop"
else
    echo "cold runs skipped: caches cannot be dropped here"
fi
