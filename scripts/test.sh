#!/usr/bin/env bash
# The test command: installs what is missing, builds with the default preset
# and runs every test label (unit, sqlite, postgres, qt, app, gui).
# Usage: scripts/test.sh [extra ctest arguments, e.g. -L sqlite]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
preset=${KIV_PRESET:-default}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --preset "$preset" -j "$(nproc)" "$@"
