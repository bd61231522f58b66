#!/usr/bin/env bash
# The long run of the stress tests: CYCLES (default 10000) cycles of opening
# two cameras on three ports, grabbing and reading on other threads, and
# closing with buffers in flight, once with grayscale images and once with
# point clouds. Builds the camera tests of the preset given (default,
# asan or tsan; default when none) and runs them at low priority.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
source tools/preset-dir.sh "$preset"
export VAVEZAZ_STRESS_CYCLES=${CYCLES:-10000}
cmake --preset "$preset" >/dev/null
nice -n 10 cmake --build --preset "$preset" --target camera_tests
start=$SECONDS
nice -n 10 "$build_dir/bin/camera_tests" --gtest_filter='Stress.*'
echo "cycle run ($preset): $VAVEZAZ_STRESS_CYCLES cycles per test in $((SECONDS - start)) s"
