#!/usr/bin/env bash
# Builds Velto and runs it once on the simulated Pocket PC: "velto -taskbar_up"
# by default, or with the arguments given (see tools/velto_sim.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
if [ $# -eq 0 ]; then
    set -- -taskbar_up
fi
exec build/native/tools/velto-sim "$@"
