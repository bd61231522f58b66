#!/usr/bin/env bash
# Runs every benchmark of the optimised build, and scale_bench with ten
# cameras x two ports at 5000 scans per second, and writes the table of
# docs/performance.md from their medians. REPETITIONS (default 5) sets how
# many times each case runs, SCALE_SECONDS (default 10) how long the scale run
# measures. The machine should be otherwise idle: the ratios to memcpy hold up
# under load, the absolute times and the scale run do not.
set -euo pipefail
cd "$(dirname "$0")/.."

programs=(extraction_bench driver_bench pointcloud_bench iconsim_bench log_bench)

cmake --preset default >/dev/null
cmake --build --preset default --target "${programs[@]}" scale_bench

load=$(cut -d' ' -f1-3 /proc/loadavg)
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for program in "${programs[@]}"; do
    echo "=== ${program}"
    "build/bin/${program}" --benchmark_repetitions="${REPETITIONS:-5}" \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="${results}/${program}.json" --benchmark_out_format=json
done
echo "=== scale_bench"
build/bin/scale_bench --cameras 10 --ports 2 --rate 5000 --scans 512 \
    --duration "${SCALE_SECONDS:-10}" | tee "${results}/scale_bench.txt"
/usr/bin/python3 tools/perf_table.py "$results" docs/performance.md "$load"
echo "=== docs/performance.md written"
