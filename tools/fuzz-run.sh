#!/usr/bin/env bash
# Runs every fuzz target of the "fuzz" preset (build-fuzz/) over its corpus in
# tests/fuzz/corpus/ and prints the executions of each. Arguments go to
# libFuzzer: -max_total_time=3 for the short run of CI, -runs=1000000 for a
# long one. New inputs go to a scratch corpus (FUZZ_CORPUS=dir keeps them);
# inputs that fail are saved in build-fuzz/findings/. FUZZ_TARGETS="a b"
# runs only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(profile_file settings_load host_names calibration_text simulation_file parameter_file
         call_sequence)
[ -z "${FUZZ_TARGETS:-}" ] || read -ra targets <<< "$FUZZ_TARGETS"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
corpus=${FUZZ_CORPUS:-$scratch/corpus}
findings=build-fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:intercept_tls_get_addr=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/sanitizers/lsan.supp:print_suppressions=0}

failed=0
for target in "${targets[@]}"; do
    mkdir -p "$corpus/$target"
    log="$scratch/$target.log"
    start=$SECONDS
    if ! "build-fuzz/bin/fuzz_$target" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$findings/$target-" "$@" \
            "$corpus/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 80 "$log"
        echo "fuzz_$target: FAILED (input in $findings/)"
        failed=1
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz_$target: $runs executions in $((SECONDS - start)) s ($rate per second), no failure"
done
exit $failed
