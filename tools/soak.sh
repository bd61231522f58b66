#!/usr/bin/env bash
# Soak: two cameras with two ports each stream for SECONDS (first argument,
# default 3600), camera A continuously (a grayscale port, and a 3D port whose
# host spends SLOW_MS, third argument, default 100, in every callback) and
# camera B grab by grab. Every image announced is compared with the scene,
# row by row or point by point, and every minute each port's counters must add
# up (frames = images handed on + dropped). Builds the camera tests of the
# preset given as second argument (default, asan or tsan; default when none)
# and runs at low priority.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
preset=${2:-default}
slow_ms=${3:-100}
source tools/preset-dir.sh "$preset"
cmake --preset "$preset" >/dev/null
nice -n 10 cmake --build --preset "$preset" --target camera_tests
VAVEZAZ_SOAK_SECONDS=$seconds VAVEZAZ_SOAK_SLOW_MS=$slow_ms nice -n 10 "$build_dir/bin/camera_tests" --gtest_filter='Soak.*'
