#!/usr/bin/env bash
# Runs the tests under Wine several times in a row, each test once per run
# (no repeat after a failure), and tells how many runs passed at the first
# try:
#   tools/wine-flake.sh RUNS [CTEST_ARGUMENTS...]
# e.g. tools/wine-flake.sh 20, or tools/wine-flake.sh 5 -E live_screen. Needs
# the native build (tools/test.sh, or cmake --build --preset native). Each
# run's line gives the machine's load average (1 minute) at its start and
# its end, so that runs on a loaded machine can be told apart, and how many
# retried taps needed a second play (the tests print their plays); each
# run's whole output stays in build/native/wine/flake/run-N.tests.log, and a
# run that fails keeps the tests' logs in build/native/wine/flake/run-N/.
# The exit code is 0 when every run passed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] && [[ $1 =~ ^[1-9][0-9]*$ ]] || {
    echo "usage: $0 RUNS [CTEST_ARGUMENTS...]" >&2
    exit 2
}
runs=$1
shift
build=build/native
[ -x "$build/tests/wine/wine_tests" ] || {
    echo "wine-flake: $build is not built (cmake --preset native && cmake --build --preset native)" >&2
    exit 1
}
keep=$build/wine/flake
rm -rf "$keep"
mkdir -p "$keep"
load() { cut -d' ' -f1 /proc/loadavg; }

passed=0
for run in $(seq 1 "$runs"); do
    before=$(load)
    start=$SECONDS
    status=0
    ctest --preset native -L wine "$@" >"$keep/run-$run.log" 2>&1 || status=$?
    summary=$(grep -E '^[0-9]+% tests passed' "$keep/run-$run.log" || echo "no summary (ctest ended with $status)")
    tests=$keep/run-$run.tests.log
    cp "$build/Testing/Temporary/LastTest.log" "$tests"
    # "[ PLAYS    ] taptray 0: 2" from the C++ tests, "live_test: 2 tap(s)" from the live test.
    plays=$(grep -oE '^\[ PLAYS    \] .*: [0-9]+$|^live_test: [0-9]+ tap' "$tests" | sed -E 's/.*: ([0-9]+)$/\1/; s/^live_test: ([0-9]+) tap$/\1/' || true)
    line="run $run: $summary; $((SECONDS - start)) s, load $before to $(load)"
    line="$line; taps played twice: $(echo "$plays" | grep -c '^2$' || true) of $(echo "$plays" | grep -c . || true)"
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
    else
        # ctest lists the failed tests as NUMBER:NAME; the tests' logs (the
        # next run replaces them) are kept whole.
        failed=$(cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr '\n' ' ' || true)
        line="$line; failed: ${failed:-?}"
        cp -r "$build/wine/tests" "$keep/run-$run"
    fi
    echo "$line"
done
echo "wine-flake: $passed of $runs runs passed at the first try (logs in $keep)"
[ "$passed" -eq "$runs" ]
