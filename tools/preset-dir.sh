#!/usr/bin/env bash
# Sourced by the long-run scripts: the build directory of preset $1, and the
# sanitizer options its tests run with under ctest.
case "$1" in
    default) build_dir=build ;;
    asan)
        build_dir=build-asan
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        export LSAN_OPTIONS=suppressions=$PWD/tools/sanitizers/lsan.supp:print_suppressions=0
        ;;
    tsan)
        build_dir=build-tsan
        export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tools/sanitizers/tsan.supp
        ;;
    *) echo "unknown preset $1 (default, asan or tsan)" >&2; exit 2 ;;
esac
