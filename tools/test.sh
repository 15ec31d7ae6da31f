#!/usr/bin/env bash
# Sets up and builds Dirtally, then runs the whole test suite headless: once as built (and, when
# run as root, the headless part again as an ordinary user), once built with AddressSanitizer and
# UndefinedBehaviorSanitizer; then the fuzz targets, built with clang, for 30 seconds each. The
# developers' builds stop on any compiler warning.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$here/tools/setup.sh" test

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRTALLY_WERROR=ON
cmake --build "$here/build" -j"$(nproc)"
(cd "$here/build" && ctest --output-on-failure --timeout 600)

# Root reads and writes everything, so the tests of what permissions forbid must also pass for an
# ordinary user: the headless suite again, on the same build, as uid 1000 (not 65534, which some
# tests switch to themselves).
if [[ $(id -u) -eq 0 ]]; then
    user_home=$(mktemp -d)
    chown 1000:1000 "$user_home"
    chmod 700 "$user_home"
    mkdir -p "$here/build/Testing"
    chown -R 1000:1000 "$here/build/Testing"
    (cd "$here/build" && setpriv --reuid=1000 --regid=1000 --clear-groups \
        env HOME="$user_home" XDG_RUNTIME_DIR="$user_home" \
        ctest --output-on-failure --timeout 600 -LE 'e2e|packages')
    rm -rf "$user_home"
fi

cmake -S "$here" -B "$here/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DDIRTALLY_SANITIZE=ON \
    -DDIRTALLY_WERROR=ON
cmake --build "$here/build-sanitize" -j"$(nproc)"
# The real window end to end and the packages are checked once, in the plain build.
(cd "$here/build-sanitize" && UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -LE 'e2e|packages')

# The parsers and formatters of outside bytes, each fuzzed for 30 seconds on its seed corpus.
bash "$here/bench/fuzz.sh" 30 "$here/build-fuzz"
