#!/usr/bin/env bash
# Sets up Dirtally's tools, then checks everything, each phase in a build folder of its own
# (build-test, build-check, build-tsan) configured with every option it relies on, so that what
# tools/run.sh or the Install steps put into build/ changes nothing here, and the reverse:
#   format    clang-format --dry-run on every C and C++ file
#   test      the whole suite (offscreen, the real window under Xvfb, the packages)
#   user      as root: the headless suite again as uid 1000, where permissions are not bypassed
#   tidy      clang-tidy's checks of .clang-tidy on the program's sources
#   sanitize  the headless suite built by clang with AddressSanitizer and
#             UndefinedBehaviorSanitizer (build-check, which also holds the fuzz targets)
#   tsan      the size engine's tests built with ThreadSanitizer
#   fuzz      every fuzz target for a while, in build-check
# The tests of the first phases spend most of their time waiting on windows, timers and packages,
# so clang-tidy and the builds of the later phases run beside them, at the lowest priority.
# A phase fails when it ran fewer tests than the sources hold. The whole run is watched by
# tests/sandbox.py: it fails when a process it started is still running at the end or the user's
# home folder has gained or lost an entry.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ ${1:-} != --watched ]]; then
    bash "$here/tools/setup.sh" test
    exec python3 "$here/tests/sandbox.py" --watch-home -- bash "$here/tools/test.sh" --watched
fi

started=$SECONDS
phase() {
    printf '\n==== %s (at %d:%02d)\n' "$1" $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60))
}
summary=()

# ccache speeds the builds up where the user keeps a cache already; none is made in their home.
if command -v ccache > /dev/null && [[ -d $(ccache -k cache_dir 2> /dev/null) ]]; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
# The developers' build: every warning an error, every option named. `configure BUILD COMPILER
# [OPTIONS]`, COMPILER gcc or clang.
configure() {
    local build=$1 cc=$2 cxx=g++
    [[ $cc == clang ]] && cxx=clang++
    shift 2
    cmake -S "$here" -B "$here/$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
        -DDIRTALLY_WERROR=ON -DDIRTALLY_TESTS=ON "$@" > /dev/null
}

# What the later phases need and the first ones do not: clang-tidy's findings (its status in
# clang-tidy.status) and the sanitized builds.
prepare_later_phases() {
    local sources
    mapfile -t sources < <(cd "$here" && find app cli listing mainwindow platform ui -name '*.cpp')
    local status=0
    run-clang-tidy -quiet -j "$(nproc)" -p "$here/build-test" "${sources[@]/#/$here/}" \
        > "$here/build-test/clang-tidy.log" 2>&1 || status=$?
    echo "$status ${#sources[@]}" > "$here/build-test/clang-tidy.status"
    set -e
    configure build-check clang -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRTALLY_FUZZ=ON \
        -DDIRTALLY_SANITIZE=OFF -DDIRTALLY_TSAN=OFF
    cmake --build "$here/build-check" -j"$(nproc)"
    configure build-tsan gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRTALLY_FUZZ=OFF \
        -DDIRTALLY_SANITIZE=OFF -DDIRTALLY_TSAN=ON
    cmake --build "$here/build-tsan" -j"$(nproc)" --target tst_sizeengine
}

# How many tests the sources hold: one per QtTest program (tst_NAME_part.cpp belongs to
# tst_NAME.cpp) and one per add_test of tests/CMakeLists.txt.
suite_size() {
    local count=0 source name owner
    for source in "$here"/tests/*/tst_*.cpp; do
        name=$(basename "$source" .cpp)
        owner=${name%_*}
        if [[ $owner == "$name" || ! -e $(dirname "$source")/$owner.cpp ]]; then
            count=$((count + 1))
        fi
    done
    echo $((count + $(grep -c '^add_test(NAME' "$here/tests/CMakeLists.txt")))
}

# run_tests PHASE BUILD EXPECTED [PREFIX...] -- [CTEST ARGUMENTS...]: fails unless EXPECTED tests
# passed; a test that skipped itself did not run.
run_tests() {
    local name=$1 build=$here/$2 expected=$3 prefix=()
    shift 3
    while [[ $1 != -- ]]; do
        prefix+=("$1")
        shift
    done
    shift
    local log=$build/ctest-$name.log
    (cd "$build" && "${prefix[@]}" ctest --no-tests=error --output-on-failure --timeout 600 "$@") \
        | tee "$log"
    local ran
    ran=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log" || true)
    summary+=("$name: $ran of $expected tests passed")
    if ((ran < expected)); then
        echo "$name: only $ran of the $expected tests ran and passed" >&2
        exit 1
    fi
}

phase format
mapfile -t sources < <(cd "$here" && find app bench cli listing mainwindow platform tests ui \
    -name '*.cpp' -o -name '*.h' -o -name '*.c')
(cd "$here" && clang-format --dry-run -Werror "${sources[@]}")
summary+=("format: ${#sources[@]} files formatted")

phase test
configure build-test gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRTALLY_FUZZ=OFF \
    -DDIRTALLY_SANITIZE=OFF -DDIRTALLY_TSAN=OFF
cmake --build "$here/build-test" -j"$(nproc)"
# In a session of its own, so that a failure anywhere ends all of it.
setsid nice -n 19 bash -c "$(declare -f configure prepare_later_phases); here='$here'; prepare_later_phases" \
    > "$here/build-test/later-phases.log" 2>&1 &
later=$!
user_scratch=$DIRTALLY_SCRATCH/user
cleanup() {
    kill -- -"$later" 2> /dev/null || true
    ! mountpoint -q "$user_scratch" || umount "$user_scratch"
}
trap cleanup EXIT
all=$(suite_size)
windowed=$(cd "$here/build-test" && ctest -N -L 'e2e|packages' | grep -c 'Test *#')
run_tests test build-test "$all" --

# Root reads and writes everything, so the tests of what permissions forbid must also pass for an
# ordinary user: the headless suite again, on the same build, as uid 1000 (not 65534, which some
# tests switch to themselves).
if [[ $(id -u) -eq 0 ]]; then
    phase user
    # Its trees in memory, as root's tests put theirs: the disk of a busy machine makes tens of
    # thousands of folders slowly.
    install -d -m 700 "$user_scratch"
    mount -t tmpfs -o size=4g,mode=700,uid=1000,gid=1000 dirtally-user "$user_scratch"
    chown -R 1000:1000 "$here/build-test/Testing"
    run_tests user build-test $((all - windowed)) \
        setpriv --reuid=1000 --regid=1000 --clear-groups \
        env HOME="$user_scratch" DIRTALLY_SCRATCH="$user_scratch" TMPDIR="$user_scratch" \
        -- -LE 'e2e|packages'
    umount "$user_scratch"
fi

# The program's own sources: the tests build paths and strings as plainly as they can.
phase tidy
wait "$later" || {
    tail -n 40 "$here/build-test/later-phases.log" >&2
    echo "the builds of the sanitize and tsan phases failed; see build-test/later-phases.log" >&2
    exit 1
}
read -r tidy_status tidy_files < "$here/build-test/clang-tidy.status"
if ((tidy_status != 0)); then
    grep -E 'warning:|error:' -A3 "$here/build-test/clang-tidy.log" >&2
    exit 1
fi
summary+=("tidy: $tidy_files files checked")

phase sanitize
# The real window end to end and the packages are checked once, in the plain build.
UBSAN_OPTIONS=print_stacktrace=1 run_tests sanitize build-check $((all - windowed)) \
    -- -LE 'e2e|packages'

phase tsan
run_tests tsan build-tsan 1 -- -R '^tst_sizeengine$'

# The parsers and formatters of outside bytes, two targets at a time, each fuzzed on its corpus.
phase fuzz
DIRTALLY_FUZZ_JOBS=2 bash "$here/bench/fuzz.sh" 20 "$here/build-check" | tee "$here/build-check/fuzz.log"
fuzzed=$(grep -c 'no crash$' "$here/build-check/fuzz.log")
targets=$(find "$here/tests/fuzz" -name 'fuzz_*.cpp' | wc -l)
summary+=("fuzz: $fuzzed of $targets targets fuzzed without a crash")
((fuzzed == targets))

phase "all done"
printf '%s\n' "${summary[@]}"
