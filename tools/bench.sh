#!/usr/bin/env bash
# Builds and runs the benchmarks of Velto on the simulated device; arguments
# go to the benchmark program (for example --benchmark_filter=Monitor).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target velto_bench
exec build/native/tests/velto_bench "$@"
