#!/usr/bin/env bash
# Builds and runs the whole test suite three times: a normal build, under
# AddressSanitizer + UndefinedBehaviorSanitizer (then clang-tidy over the
# driver's sources, with that build's compile database), and under
# ThreadSanitizer;
# then builds the fuzz targets and runs each for a few seconds (FUZZ_SECONDS,
# default 4) from a fixed seed (FUZZ_SEED, default 1), so that a run repeats;
# then the Windows builds: windows, the 32-bit DLL hosts load, with its export
# table, and windows-x64. The suites and the host tool run under Wine on the
# 32-bit build where this kernel runs 32-bit programs, and the default run then
# leaves windows-x64 out; elsewhere they run on windows-x64. Pass preset names
# to run only some of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

# The Windows stages take about 6 minutes from a clean tree on an idle
# two-core machine, most of it compiling; the suites under Wine under a minute.
default_presets=(default asan tidy tsan fuzz windows windows-x64)
presets=("$@")
named=${#presets[@]}
[ ${#presets[@]} -gt 0 ] || presets=("${default_presets[@]}")
if [[ " ${presets[*]} " == *" windows"* ]]; then
    bash tools/install-deps.sh windows
fi

# A Wine server of the build's own prefix, started apart from ctest: a server
# started by the first test would keep ctest's output pipes open. The prefix
# is made once per build directory (slow the first time).
start_wine() {
    export WINEPREFIX=$PWD/$1/wineprefix WINEDEBUG=-all
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
    /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
}

stop_wine() {
    /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    unset WINEPREFIX WINEDEBUG
}

# Wine's 32-bit loader is itself a 32-bit program.
runs_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Options of the configure step beyond the preset's.
configure_options() {
    if [ "$1" = windows ] && runs_32bit; then
        echo "-DVAVEZAZ_WINE_SUITES=ON"
    elif [ "$1" = windows ]; then
        echo "-DVAVEZAZ_WINE_SUITES=OFF"
    fi
}

for preset in "${presets[@]}"; do
    if [ "$preset" = tidy ]; then
        echo "=== tidy: clang-tidy over the driver's sources"
        start=$SECONDS
        bash tools/clang-tidy.sh
        echo "=== tidy: $((SECONDS - start)) s"
        continue
    fi
    if [ "$preset" = fuzz ]; then
        echo "=== fuzz: configure and build the fuzz targets"
        cmake --preset fuzz >/dev/null
        cmake --build --preset fuzz
        echo "=== fuzz: a short run of every target"
        bash tools/fuzz-run.sh -seed="${FUZZ_SEED:-1}" -max_total_time="${FUZZ_SECONDS:-4}"
        continue
    fi
    if [ "$preset" = windows-x64 ] && [ "$named" -eq 0 ] && runs_32bit; then
        echo "=== windows-x64: left out, the suites ran on the 32-bit build"
        continue
    fi
    echo "=== ${preset}: configure and build"
    start=$SECONDS
    cmake --preset "$preset" $(configure_options "$preset") >/dev/null
    cmake --build --preset "$preset"
    echo "=== ${preset}: test"
    case "$preset" in
        windows | windows-x64)
            start_wine "build-${preset}"
            trap stop_wine EXIT
            ctest --preset "$preset" -j2
            stop_wine
            trap - EXIT
            ;;
        *) ctest --preset "$preset" -j2 ;;
    esac
    echo "=== ${preset}: $((SECONDS - start)) s"
done
