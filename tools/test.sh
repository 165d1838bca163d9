#!/usr/bin/env bash
# Builds Velto for the simulated device and for Windows, and runs every test:
# the native tests (with the check that the program keeps to fixed buffers),
# the same tests under ThreadSanitizer with the simulated threads running
# free, and under AddressSanitizer with UndefinedBehaviorSanitizer; then
# the settings fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset native
cmake --build --preset native
cmake --preset win32
cmake --build --preset win32
ctest --preset native
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
tools/fuzz.sh 60
