#!/usr/bin/env bash
# Builds the fuzzer for the stored settings and runs it for a number of
# seconds (60 unless told otherwise), starting from the seed corpus in
# tests/fuzz/corpus. New inputs it finds go to build/fuzz/corpus, never into
# the repository; a failing input is left in build/fuzz/ and the run fails.
#
#   tools/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
case "$seconds" in
    ''|*[!0-9]*) echo "fuzz: the time to run is a whole number of seconds, not '$seconds'" >&2; exit 2 ;;
esac

tools/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
cp -n tests/fuzz/corpus/* build/fuzz/corpus/
cd build/fuzz
status=0
UBSAN_OPTIONS=print_stacktrace=1 \
    tests/settings_fuzzer -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=./ corpus \
    >fuzz.log 2>&1 || status=$?
grep -E 'ERROR|settings fuzzer:|^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+ *DONE' fuzz.log || true
if [ "$status" -ne 0 ]; then
    echo "fuzz: the fuzzer failed (exit $status); its output is in build/fuzz/fuzz.log" >&2
    exit 1
fi
echo "fuzz: $(grep -oE 'stat::number_of_executed_units: *[0-9]+' fuzz.log | grep -oE '[0-9]+$') inputs in ${seconds} s, no failure"
