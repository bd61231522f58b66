#!/usr/bin/env bash
# Soak: two cameras with two ports each stream for SECONDS (first argument,
# default 3600), camera A continuously and camera B grab by grab. Every image
# announced is compared with the scene row by row, and every minute each
# port's counters must add up (frames = images handed on + dropped). Builds
# the camera tests of the preset given as second argument (default, asan or
# tsan; default when none) and runs at low priority.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
preset=${2:-default}
source tools/preset-dir.sh "$preset"
cmake --preset "$preset" >/dev/null
nice -n 10 cmake --build --preset "$preset" --target camera_tests
VAVEZAZ_SOAK_SECONDS=$seconds nice -n 10 "$build_dir/bin/camera_tests" --gtest_filter='Soak.*'
