#!/usr/bin/env bash
# Builds and runs the whole test suite three times: a normal build, under
# AddressSanitizer + UndefinedBehaviorSanitizer, and under ThreadSanitizer;
# then builds the fuzz targets and runs each for a few seconds.
# Pass preset names (default, asan, tsan, fuzz) to run only some of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan fuzz)

for preset in "${presets[@]}"; do
    if [ "$preset" = fuzz ]; then
        echo "=== fuzz: configure and build the fuzz targets"
        cmake --preset fuzz >/dev/null
        cmake --build --preset fuzz
        echo "=== fuzz: a short run of every target"
        bash tools/fuzz-run.sh -max_total_time="${FUZZ_SECONDS:-4}"
        continue
    fi
    echo "=== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== ${preset}: test"
    ctest --preset "$preset" -j2
done
