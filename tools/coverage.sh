#!/usr/bin/env bash
# Builds Velto and the tests with coverage, runs the tests on the simulated
# device, and prints line and branch coverage of the program's own folders.
# An HTML report goes to build/coverage/html/index.html.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
ctest --preset coverage >build/coverage/ctest.log 2>&1 || { tail -20 build/coverage/ctest.log; exit 1; }
mkdir -p build/coverage/html
filters=()
for f in app settings taskbar proxy taskmenu about; do
    filters+=(--filter "$PWD/$f/")
done
gcovr --root . "${filters[@]}" --exclude-unreachable-branches --exclude-throw-branches \
      --html-details build/coverage/html/index.html --print-summary --txt - build/coverage
