#!/usr/bin/env bash
# Builds the Debian packages from the normal build (build/), runs lintian over
# them (any error or warning that debian/*.lintian-overrides does not justify
# fails), installs them with apt-get as a user would, checks that every
# library their programs load from outside the package set belongs to a
# package that the owning package's Depends names (so they install on a
# machine that has nothing but those), runs the installed cvl-host and the
# installed Python module from outside the source tree, and removes
# everything again. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "error: installing and removing the packages needs root" >&2
    exit 1
fi
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

names=(libvavezaz1 libvavezaz-dev vavezaz-tools libicon0 libicon-dev python3-vavezaz)
work=$(mktemp -d)
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
remove_packages() {
    local present=()
    for name in "${names[@]}"; do
        if installed "$name"; then present+=("$name"); fi
    done
    if [ ${#present[@]} -gt 0 ]; then apt_get remove --purge "${present[@]}" >/dev/null; fi
}
trap 'remove_packages; rm -rf "$work"' EXIT

fail() {
    echo "check-package: $*" >&2
    exit 1
}

echo "=== packages"
(cd build && cpack -G DEB -B "$work/out" >/dev/null)
debs=()
for name in "${names[@]}"; do
    deb=("$work"/out/"${name}"_*.deb)
    [ -f "${deb[0]}" ] || fail "no package $name among: $(ls "$work/out")"
    debs+=("${deb[0]}")
    dpkg-deb --field "${deb[0]}" Package Version Depends | sed 's/^/  /'
done

echo "=== lintian"
status=0
lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}" >"$work/lintian.txt" 2>&1 ||
    status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[ "$status" -eq 0 ] || fail "lintian found an error or a warning that no override justifies"

echo "=== install"
remove_packages
apt_get install "${debs[@]}" >/dev/null
[ "$(command -v cvl-host)" = /usr/bin/cvl-host ] || fail "cvl-host is not /usr/bin/cvl-host"
man -w cvl-host >/dev/null || fail "cvl-host has no manual page"

echo "=== dependencies"
owner() {
    local path=$1
    for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
        dpkg-query -S "$candidate" 2>/dev/null | head -1 | cut -d: -f1 && return 0
    done
    return 1
}
# Only the libraries a file names itself (NEEDED) must come from the package
# set or from the Depends of the package that holds the file; what those load
# in turn is their own packages' business, and apt installs it with them.
for name in "${names[@]}"; do
    depends=" $(dpkg-query -W -f='${Depends}' "$name" | tr ',|' '\n\n' | awk '{print $1}' | tr '\n' ' ') "
    while read -r file; do
        [ -f "$file" ] && file -b "$file" | grep -q '^ELF' || continue
        ldd "$file" | grep -q 'not found' && fail "$file: $(ldd "$file" | grep 'not found')"
        for soname in $(readelf -d "$file" | awk '/\(NEEDED\)/ {gsub(/[][]/, "", $5); print $5}'); do
            library=$(ldd "$file" | awk -v name="$soname" '
                $1 == name && $2 == "=>" {print $3}
                $2 != "=>" && $1 ~ ("/" name "$") {print $1}')
            [ -n "$library" ] || fail "$file needs $soname, which the loader does not find"
            package=$(owner "$library") || fail "$file needs $library, which no package owns"
            [ "$package" = "$name" ] || [[ "$depends" == *" $package "* ]] ||
                fail "$file needs $library from $package, which $name's Depends does not name"
        done
        echo "$file: every library it names comes from $name or its dependencies"
    done < <(dpkg-query -L "$name")
done

echo "=== run the installed cvl-host outside the source tree"
mkdir "$work/run"
(cd "$work/run" && cvl-host list) | tee "$work/list.txt"
grep -qx "driver: /usr/lib.*/libvavezaz.so.1" "$work/list.txt" || fail "cvl-host did not load /usr/lib"
grep -q '^  .*\.1$' "$work/list.txt" || fail "cvl-host listed no camera configurations"
(cd "$work/run" && cvl-host grab --count 1) | tee "$work/grab.txt"
[ -s "$work/run/cvl-host-system/images/image-1.pgm" ] || fail "cvl-host grab wrote no image"

echo "=== import the installed Python module outside the source tree"
(cd "$work/run" && env -u VAVEZAZ_LIBRARY -u PYTHONPATH /usr/bin/python3 -c '
import vavezaz
with vavezaz.Driver("cvl-host-system") as driver:
    port = driver.open(driver.cameras()[0], port=1)
    print(vavezaz.__file__, driver.library, port.grab(timeout=10).shape)
') | tee "$work/python.txt"
grep -q '^/usr/lib/python3/dist-packages/vavezaz/__init__.py /usr/lib/.*/libvavezaz.so.1 (512, 1536)$' \
    "$work/python.txt" || fail "the installed Python module did not grab through /usr/lib's driver"

echo "=== remove"
remove_packages
[ ! -e /usr/bin/cvl-host ] || fail "/usr/bin/cvl-host is still there after removal"
echo "check-package: ${names[*]} built, passed lintian, installed, ran and removed"
