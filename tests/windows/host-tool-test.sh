#!/usr/bin/env bash
# cvl-host.exe as a Windows user runs it, on the built-in simulated cameras:
# it lists them, grabs two grayscale images into PGM files, writes the image
# settings of the README's point-cloud walk-through into VaveZAZ.ini through
# the system's profile API, and grabs the two clouds the driver makes of them
# (the Linux build makes the same point counts).
# Usage: host-tool-test.sh RUNNER TOOL   (RUNNER: the Wine loader)
set -euo pipefail
runner=$1
tool=$2

# The 32-bit loader needs a kernel that runs 32-bit programs; where it cannot
# start, the test is reported skipped (77), not passed.
if ! "$runner" --version >/dev/null 2>&1; then
    echo "SKIP: $runner cannot start on this machine"
    exit 77
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs the tool in the test's own system directory; prints what it said.
run() {
    "$runner" "$tool" --system-dir "$dir/system" "$@" 2>&1 || fail "cvl-host $* ended with $?"
}

expect() {
    grep -qF -- "$2" <<<"$1" || fail "expected '$2' in:"$'\n'"$1"
}

listed=$(run list)
expect "$listed" "8 configurations"
expect "$listed" "VZ-Sim 3D - 0b00005a5602.4"

grabbed=$(run grab --count 2)
expect "$grabbed" "grabbed 2 of 2 images"
for n in 1 2; do
    image=$dir/system/images/image-$n.pgm
    [ "$(head -c 15 "$image")" = $'P5\n1536 512\n255' ] || fail "$image does not start as a 1536 x 512 PGM"
    [ "$(stat -c %s "$image")" -eq $((16 + 1536 * 512)) ] || fail "$image is $(stat -c %s "$image") bytes"
done

run settings 192.168.0.10.1 'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled \
    RectificationFilter=Enabled PulsesPerMillimeter=10 MinHeight=5 >/dev/null
grep -q $'^ImageFormat=3D (XYZ)\r$' "$dir/system/VaveZAZ.ini" || fail "VaveZAZ.ini lacks its CRLF line"

clouds=$(run grab --camera 192.168.0.10.1 --count 2)
expect "$clouds" "image-1.ply: 190956 points"
expect "$clouds" "image-2.ply: 228847 points"
grep -aq "^element vertex 190956" "$dir/system/images/image-1.ply" || fail "image-1.ply's header"
echo "cvl-host.exe listed, grabbed two images and two clouds"
