#!/usr/bin/env bash
# Makes docs/screenshot.png: the real window after a run, under Xvfb and openbox, cropped to the
# window with its frame, exactly as the end-to-end suite takes its screenshots.
#   tests/e2e/screenshot.sh [path/to/dirtally]   (default: build/dirtally)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=${1:-$here/build/dirtally}
artifacts=$(mktemp -d)
trap 'rm -rf "$artifacts"' EXIT
python3 "$here/tests/e2e/run_e2e.py" --program "$program" --artifacts "$artifacts" \
    --screenshot "$here/docs/screenshot.png"
echo "Wrote $here/docs/screenshot.png"
