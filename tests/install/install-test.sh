#!/usr/bin/env bash
# The installed driver as an integrator meets it. Installs a built tree into a
# temporary prefix, checks the layout, the library's SONAME and the install
# components, runs the installed cvl-host from another directory, and builds
# and runs the C hosts of examples/ against the install: both through
# find_package(VaveZAZ), the grayscale one also through pkg-config. The
# grayscale host lists the simulated cameras and grabs one image; the
# point-cloud host grabs clouds that cvl-host's settings ask for and must read
# every point the height window kept, and only those.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR LIBDIR  (LIBDIR as installed, e.g. lib)
set -euo pipefail
build=$1
source=$2
libdir=$3
cmake=${CMAKE:-cmake}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

expect_files() {
    local root=$1
    shift
    for file in "$@"; do
        [ -e "$root/$file" ] || fail "$root/$file was not installed"
    done
}

echo "--- install into $prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
expect_files "$prefix" \
    "$libdir/libvavezaz.so.1" "$libdir/libvavezaz.so" "$libdir/libicon.so.0" "$libdir/libicon.so" \
    include/vavezaz/CvlDriver.h include/icon/Camera.h bin/cvl-host share/man/man1/cvl-host.1.gz \
    "$libdir/cmake/VaveZAZ/VaveZAZConfig.cmake" "$libdir/cmake/VaveZAZ/VaveZAZConfigVersion.cmake" \
    "$libdir/pkgconfig/vavezaz.pc" \
    share/doc/vavezaz/README.md share/doc/vavezaz/iconapi/README.md \
    share/doc/vavezaz/iconapi/samples/simulation.xml \
    share/doc/vavezaz/examples/CMakeLists.txt share/doc/vavezaz/examples/grayscale-host.c \
    share/doc/vavezaz/examples/point-cloud-host.c
for page in "$source"/docs/*.md; do
    expect_files "$prefix" "share/doc/vavezaz/docs/$(basename "$page")"
done
soname=$(readelf -d "$prefix/$libdir/libvavezaz.so.1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libvavezaz.so.1 ] || fail "SONAME is '$soname', not libvavezaz.so.1"
readelf -d "$prefix/$libdir/libvavezaz.so.1" | grep -q 'NEEDED.*\[libicon\.so\.0\]' ||
    fail "the driver does not name the camera API library by its versioned name libicon.so.0"

echo "--- a site with its own camera API library: the driver without the stand-in"
for component in driver dev tools; do
    "$cmake" --install "$build" --prefix "$work/site" --component "$component" >/dev/null
done
expect_files "$work/site" "$libdir/libvavezaz.so.1" bin/cvl-host include/vavezaz/CvlDriver.h \
    "$libdir/pkgconfig/vavezaz.pc"
[ ! -e "$work/site/$libdir/libicon.so.0" ] || fail "the driver components install libicon.so.0"
[ ! -e "$work/site/include/icon" ] || fail "the driver components install the camera API headers"

echo "--- the installed cvl-host, run from another directory"
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && "$prefix/bin/cvl-host" --system-dir host list) >"$work/list.txt" 2>&1 ||
    fail "installed cvl-host list failed: $(cat "$work/list.txt")"
cat "$work/list.txt"
grep -qx "driver: $prefix/$libdir/libvavezaz.so.1" "$work/list.txt" ||
    fail "installed cvl-host did not load the installed driver"
grep -q '^  .*\.4$' "$work/list.txt" || fail "installed cvl-host listed no configurations"

echo "--- the installed examples through find_package(VaveZAZ)"
examples=$prefix/share/doc/vavezaz/examples
"$cmake" -S "$examples" -B "$work/cmake-build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >"$work/configure.txt" ||
    fail "configuring the examples failed: $(cat "$work/configure.txt")"
grep -q "VaveZAZ .* in $prefix/$libdir/cmake/VaveZAZ" "$work/configure.txt" ||
    fail "find_package did not find the installed package: $(cat "$work/configure.txt")"
"$cmake" --build "$work/cmake-build" >/dev/null
(cd "$work/elsewhere" && "$work/cmake-build/grayscale-host" "$work/cmake-host")

# Calibrated clouds of the first simulated camera, everything below 5 mm
# dropped: each has far more points than the sensor has columns, the size
# openCVLPort gives, and none below the window.
"$prefix/bin/cvl-host" --quiet --system-dir "$work/cloud-host" settings 192.168.0.10.1 \
    'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled RectificationFilter=Enabled MinHeight=5 \
    >/dev/null || fail "cvl-host settings failed"
(cd "$work/elsewhere" && "$work/cmake-build/point-cloud-host" "$work/cloud-host" 192.168.0.10.1 2) \
    >"$work/clouds.txt" || fail "point-cloud-host failed: $(cat "$work/clouds.txt")"
cat "$work/clouds.txt"
awk '/^cloud [0-9]+:/ { n++; if ($3 <= 1536 * 4 || $6 < 5) bad++ }
     END { exit !(n == 2 && bad == 0) }' "$work/clouds.txt" ||
    fail "point-cloud-host did not read the kept points of two clouds"

if "$cmake" -S "$examples" -B "$work/cmake-next" \
    -DCMAKE_PREFIX_PATH="$prefix" -DVAVEZAZ_WANTED=2.0 >/dev/null 2>&1; then
    fail "find_package(VaveZAZ 2.0) accepted version 1"
fi

echo "--- pkg-config vavezaz"
export PKG_CONFIG_LIBDIR=$prefix/$libdir/pkgconfig
cc -std=c99 -Wall -Wextra -pedantic -Werror -o "$work/pc-consumer" \
    "$examples/grayscale-host.c" $(pkg-config --cflags --libs vavezaz) -pthread \
    -Wl,-rpath,"$(pkg-config --variable=libdir vavezaz)"
(cd "$work/elsewhere" && "$work/pc-consumer" "$work/pc-host")
echo "install and examples: passed"
