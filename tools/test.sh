#!/usr/bin/env bash
# Builds Velto for the simulated device and for Windows (the native build
# builds the win32 preset as well), and runs every test: the native tests
# (the conformance suite and the tests under Wine among them, with the check
# that the program keeps to fixed buffers),
# the same tests under ThreadSanitizer with the simulated threads running
# free, and under AddressSanitizer with UndefinedBehaviorSanitizer; then
# the settings fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset native
cmake --build --preset native
ctest --preset native -LE wine
# Once each, no second try: tools/wine-flake.sh runs them many times.
ctest --preset native -L wine
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
tools/fuzz.sh 60
