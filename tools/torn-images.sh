#!/usr/bin/env bash
# The long run of the two-ports case: IMAGES (default 10000) images of one
# port, read on another thread while a host thread grabs the camera's other
# port, each judged whole or torn. Builds the camera tests of the preset given
# (default, asan or tsan; default when none) and runs at low priority.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
source tools/preset-dir.sh "$preset"
export VAVEZAZ_TORN_IMAGES=${IMAGES:-10000}
cmake --preset "$preset" >/dev/null
nice -n 10 cmake --build --preset "$preset" --target camera_tests
start=$SECONDS
nice -n 10 "$build_dir/bin/camera_tests" \
    --gtest_filter='BufferFlow.TwoPortsOfACameraReadOnAnotherThreadGetWholeImages'
echo "torn-image run ($preset): $VAVEZAZ_TORN_IMAGES images in $((SECONDS - start)) s"
