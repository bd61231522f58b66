#!/usr/bin/env bash
# Builds and runs the whole test suite three times: a normal build, under
# AddressSanitizer + UndefinedBehaviorSanitizer, and under ThreadSanitizer.
# Pass preset names (default, asan, tsan) to run only some of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan)

for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "=== ${preset}: test"
    ctest --preset "$preset" -j2
done
