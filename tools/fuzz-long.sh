#!/usr/bin/env bash
# The long fuzzing run: every target for RUNS executions (default 10^6), at
# low priority, keeping the inputs it finds in build-fuzz/corpus-long/.
# MAX_SECONDS=n ends a target after n seconds if it has not got there.
# Builds the "fuzz" preset first. Pass target names to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-1000000}
cmake --preset fuzz >/dev/null
nice -n 15 cmake --build --preset fuzz
[ $# -eq 0 ] || export FUZZ_TARGETS="$*"
limits=(-runs="$runs")
[ -z "${MAX_SECONDS:-}" ] || limits+=(-max_total_time="$MAX_SECONDS")
FUZZ_CORPUS=${FUZZ_CORPUS:-build-fuzz/corpus-long} exec nice -n 15 bash tools/fuzz-run.sh "${limits[@]}"
