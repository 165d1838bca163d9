#!/usr/bin/env bash
# Builds Velto for the simulated device and for Windows, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset native
cmake --build --preset native
cmake --preset win32
cmake --build --preset win32
ctest --preset native
