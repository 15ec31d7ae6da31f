#!/usr/bin/env bash
# Sets up and builds Dirtally, then runs the whole test suite headless: once as built, once
# built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$here/tools/setup.sh" test

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build" -j"$(nproc)"
(cd "$here/build" && ctest --output-on-failure --timeout 600)

cmake -S "$here" -B "$here/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DDIRTALLY_SANITIZE=ON
cmake --build "$here/build-sanitize" -j"$(nproc)"
# The real window end to end and the packages are checked once, in the plain build.
(cd "$here/build-sanitize" && UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -LE 'e2e|packages')
