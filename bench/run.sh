#!/bin/bash
# Times Dirtally on the shapes of tree users have, against a lean walker of its own (the floor:
# what the system calls alone cost) and against du, gdu and ncdu, and prints each ratio, with the
# peak memory of every program. One run per shape; the programs take turns, one run each per
# round, so that a burst of load from elsewhere on the machine hits them all alike.
#
#   bench/run.sh [--quick] [--options] [FOLDER]
#
# Shapes: (1) 1,000,000 files in 100,000 folders, (2) 200,000 sibling folders with a small file
# each, (3) a chain 10,000 folders deep with a file at each level, (4) 20,000 files in 2,000
# folders behind 2 ms per getdents64 and stat call (tests/e2e/slowfs.c, preloaded), (5) the
# first tree with the caches dropped before every run (root only). Timed on each: the window
# (the real one, in a private X session, from Esc until its report's closing block is on
# disk), dirtally-report, the engine alone (sizebench), the floor (floorwalk), du, gdu, ncdu.
#
# On shapes 1 and 2 the command also runs with its options, each timed beside the plain command of
# the same run against what it may cost: --disk-usage, -x, --links-once and three --exclude
# patterns on the first, --sort=size (and with --top=10) on the second. --options runs only that:
# the two shapes with the command, its options, the engine and, on the first, du, gdu and ncdu.
#
# --quick makes small trees of the same shapes and runs one round, to see that all of it works.
# The trees go in FOLDER (/tmp by default) and are kept for reuse; where the script may mount
# (root) they live on their own ext4 file system in an image file there: on some machines the
# root file system creates files a thousand times more slowly than a fresh ext4. To remove them:
# umount FOLDER/dirtally-bench-shapes and remove FOLDER/dirtally-bench-shapes*.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
quick=no
options=no
while [ $# -gt 0 ]; do
    case $1 in
    --quick) quick=yes ;;
    --options) options=yes ;;
    *) break ;;
    esac
    shift
done
place=${1:-/tmp}
image="$place/dirtally-bench-shapes"
if [ "$quick" = yes ]; then
    trees="$image/quick"
    bushy=(20000 2000) siblings=5000 chain=1000 slow=(2000 200) warm_runs=1 cold_runs=1
else
    trees="$image/full"
    bushy=(1000000 100000) siblings=200000 chain=10000 slow=(20000 2000) warm_runs=5 cold_runs=3
fi
slow_ms=2

# The peers, and what the window needs to be timed (the end-to-end suite's X session).
need=()
tools=(gdu ncdu)
[ "$options" = yes ] || tools+=(Xvfb openbox xdotool xprop)
for tool in "${tools[@]}"; do
    command -v "$tool" > /dev/null || need+=("$tool")
done
if [ ${#need[@]} -gt 0 ]; then
    packages=$(printf '%s\n' "${need[@]}" |
        sed 's/^Xvfb$/xvfb/; s/^xprop$/x11-utils/' | sort -u)
    apt-get update -qq && apt-get install -y -qq --no-install-recommends $packages
fi

cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDIRTALLY_TESTS=OFF > /dev/null
targets=(sizebench gentree dirtally-report)
[ "$options" = yes ] || targets+=(floorwalk dirtally)
cmake --build "$build" -j2 --target "${targets[@]}" > /dev/null
slowfs="$build/slowfs.so"
if [ "$options" = no ] && ! [ "$slowfs" -nt "$source_dir/tests/e2e/slowfs.c" ]; then
    cc -O2 -shared -fPIC -o "$slowfs" "$source_dir/tests/e2e/slowfs.c" -ldl
fi

# The trees' file system: made once where the script may mount, mounted again after a restart.
if [ "$(id -u)" = 0 ] && ! mountpoint -q "$image"; then
    mkdir -p "$image"
    if ! [ -f "$image.img" ] && [ -z "$(ls -A "$image")" ]; then
        truncate -s 24G "$image.img"
        mkfs.ext4 -q -F -N 1800000 "$image.img"
    fi
    if [ -f "$image.img" ]; then
        mount -o loop "$image.img" "$image"
        # Direct I/O on the loop device: a cold read goes to the disk, not to a cache of the
        # image file.
        losetup --direct-io=on "$(findmnt -no SOURCE "$image")" || true
    fi
fi
mkdir -p "$trees"

# Makes a tree once: `make NAME COMMAND...`, the command printing the tree's bytes.
make_tree() {
    local name=$1
    shift
    if ! [ -f "$trees/$name.bytes" ]; then
        rm -rf "${trees:?}/$name"
        echo "making the $name tree ..."
        "$@" > "$trees/$name.bytes.new"
        mv "$trees/$name.bytes.new" "$trees/$name.bytes"
    fi
    local got
    got=$("$build/bench/sizebench" "$trees/$name" | awk '{print $2}')
    [ "$got" = "$(cat "$trees/$name.bytes")" ] ||
        { echo "the engine sizes the $name tree wrong: $got bytes" >&2; exit 1; }
}
make_tree bushy "$build/bench/gentree" "$trees/bushy" "${bushy[@]}"
make_tree siblings python3 "$here/shapes.py" siblings "$trees/siblings" "$siblings"
if [ "$options" = no ]; then
    make_tree chain python3 "$here/shapes.py" chain "$trees/chain" "$chain"
    make_tree slow "$build/bench/gentree" "$trees/slow" "${slow[@]}"
fi

report="$build/dirtally-report -o REPORT"
peers=(--run "du=du -sb FOLDER" --run "gdu=gdu -n -p -a FOLDER"
    --run "ncdu=ncdu -0 -x -o /dev/null FOLDER")
shape() {
    python3 "$here/shapes.py" time --window "$build/dirtally" \
        --run "command=$report FOLDER" \
        --run "engine=$build/bench/sizebench --each FOLDER" \
        --run "floor=$build/bench/floorwalk FOLDER" "${peers[@]}" "$@"
}

# What the command's options cost against the plain command, and the plain command against the
# engine alone. "Nothing measurable" is taken as within 3 %, the scatter of a median of five on a
# quiet machine. The three exclusions match nothing in these trees, so every run counts the same
# files and the cost is the matching alone: each entry's name against ".snapshot" and "*.tmp",
# and each entry's path below FOLDER against "/*/cache".
counting=(
    --run "disk-usage=$report --disk-usage FOLDER" --ratio "disk-usage/command<=1.03"
    --run "one-file-system=$report -x FOLDER" --ratio "one-file-system/command<=1.03"
    --run "links-once=$report --links-once FOLDER" --ratio "links-once/command<=1.10"
    --run "exclude=$report --exclude=.snapshot --exclude=*.tmp --exclude=/*/cache FOLDER"
    --ratio "exclude/command<=1.10" --ratio "command/engine<=1.05"
)
order=(
    --run "sorted=$report --sort=size FOLDER" --ratio "sorted/command<=1.10"
    --run "top=$report --sort=size --top=10 FOLDER" --ratio "top/command<=1.10"
)

echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB memory, $(uname -r)," \
    "$(findmnt -no FSTYPE -T "$trees") under the trees"
echo "date: $(date -u +%Y-%m-%dT%H:%MZ); load: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$options" = yes ]; then
    python3 "$here/shapes.py" time --rounds "$warm_runs" --run "command=$report FOLDER" \
        --run "engine=$build/bench/sizebench --each FOLDER" "${peers[@]}" "${counting[@]}" \
        "(1) ${bushy[0]} files in ${bushy[1]} folders, warm, the options" "$trees/bushy"
    python3 "$here/shapes.py" time --rounds "$warm_runs" --run "command=$report FOLDER" \
        "${order[@]}" "(2) $siblings sibling folders, warm, the order" "$trees/siblings"
    echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
    exit
fi
# The report of every folder of the tree, beside the one-level one, on the first shape only: on the
# chain it would be ten thousand ever longer paths.
shape --rounds "$warm_runs" --run "command-all=$report --all FOLDER" "${counting[@]}" \
    "(1) ${bushy[0]} files in ${bushy[1]} folders, warm" "$trees/bushy"
shape --rounds "$warm_runs" "${order[@]}" "(2) $siblings sibling folders, warm" "$trees/siblings"
shape --rounds "$warm_runs" "(3) a chain $chain folders deep, warm" "$trees/chain"
# gdu, a Go program, makes its system calls without the C library: the shim cannot slow it.
shape --rounds 1 --slowfs "$slowfs:$slow_ms" --unslowed gdu \
    "(4) ${slow[0]} files in ${slow[1]} folders, $slow_ms ms a call" "$trees/slow"
if (sync && echo 3 > /proc/sys/vm/drop_caches) 2> /dev/null; then
    shape --rounds "$cold_runs" --cold "(5) ${bushy[0]} files in ${bushy[1]} folders, cold" \
        "$trees/bushy"
else
    echo "(5) cold runs skipped: caches cannot be dropped here"
fi
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
