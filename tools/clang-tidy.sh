#!/usr/bin/env bash
# Runs clang-tidy with the root .clang-tidy over the driver's own sources (every
# layer, the Linux forms of the platform services and the wx dialog); any
# finding fails. Uses the compile database of the asan preset (clang), made
# here if it is missing. Arguments, if any, are the files to check instead.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build-asan/compile_commands.json ] || cmake --preset asan >/dev/null
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files 'platform/*.cpp' 'base/*.cpp' 'config/*.cpp' 'image/*.cpp' \
        'camera/*.cpp' 'driver/*.cpp' | grep -v '/windows/')
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy -quiet -p build-asan -j "$(nproc)" "${files[@]}" >"$log" 2>&1 || status=$?
findings=$(grep -E '(error|warning): .*\[[a-z]' "$log" | sort -u || true)
if [ "$status" -ne 0 ] || [ -n "$findings" ]; then
    echo "${findings:-$(tail -20 "$log")}"
    echo "clang-tidy: findings in ${#files[@]} files" >&2
    exit 1
fi
echo "clang-tidy: ${#files[@]} files clean"
