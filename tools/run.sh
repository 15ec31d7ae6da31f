#!/usr/bin/env bash
# Sets up, builds and starts Dirtally in the folder this command is run from.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$here/tools/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -DDIRTALLY_TESTS=OFF
cmake --build "$here/build" -j"$(nproc)" --target dirtally
exec "$here/build/dirtally"
