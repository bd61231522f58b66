#!/usr/bin/env bash
# Builds the Debian package from the normal build (build/), installs it with
# apt-get as a user would, checks that every library its programs load from
# outside the package belongs to a package its Depends names (so it installs
# on a machine that has nothing but those), runs the installed cvl-host from
# outside the source tree, and removes the package again. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "error: installing and removing the package needs root" >&2
    exit 1
fi
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

work=$(mktemp -d)
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"
}
remove_package() {
    if dpkg-query -W -f='${Status}' vavezaz 2>/dev/null | grep -q "install ok installed"; then
        apt_get remove --purge vavezaz >/dev/null
    fi
}
trap 'remove_package; rm -rf "$work"' EXIT

fail() {
    echo "check-package: $*" >&2
    exit 1
}

echo "=== package"
(cd build && cpack -G DEB -B "$work/out" >/dev/null)
packages=("$work"/out/vavezaz_*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] || fail "expected one vavezaz_*.deb, got: ${packages[*]}"
deb=${packages[0]}
dpkg-deb --field "$deb" Package Version Architecture Depends

echo "=== install"
remove_package
apt_get install "$deb" >/dev/null
[ "$(command -v cvl-host)" = /usr/bin/cvl-host ] || fail "cvl-host is not /usr/bin/cvl-host"

echo "=== dependencies"
# Package names in Depends, alternatives included, without versions.
depends=" $(dpkg-deb --field "$deb" Depends | tr ',|' '\n\n' | awk '{print $1}' | tr '\n' ' ') "
owner() {
    local path=$1
    for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
        dpkg-query -S "$candidate" 2>/dev/null | head -1 | cut -d: -f1 && return 0
    done
    return 1
}
# Only the libraries a file names itself (NEEDED) must come from the package
# or from Depends; what those load in turn is their own packages' business,
# and apt installs it with them.
while read -r file; do
    file -b "$file" | grep -q '^ELF' || continue
    ldd "$file" | grep -q 'not found' && fail "$file: $(ldd "$file" | grep 'not found')"
    for soname in $(readelf -d "$file" | awk '/\(NEEDED\)/ {gsub(/[][]/, "", $5); print $5}'); do
        library=$(ldd "$file" | awk -v name="$soname" '
            $1 == name && $2 == "=>" {print $3}
            $2 != "=>" && $1 ~ ("/" name "$") {print $1}')
        [ -n "$library" ] || fail "$file needs $soname, which the loader does not find"
        package=$(owner "$library") || fail "$file needs $library, which no package owns"
        [ "$package" = vavezaz ] || [[ "$depends" == *" $package "* ]] ||
            fail "$file needs $library from $package, which Depends does not name"
    done
    echo "$file: every library it names comes from the package or its dependencies"
done < <(dpkg-query -L vavezaz)

echo "=== run the installed cvl-host outside the source tree"
mkdir "$work/run"
(cd "$work/run" && cvl-host list) | tee "$work/list.txt"
grep -qx "driver: /usr/lib.*/libvavezaz.so.1" "$work/list.txt" || fail "cvl-host did not load /usr/lib"
grep -q '^  .*\.1$' "$work/list.txt" || fail "cvl-host listed no camera configurations"
(cd "$work/run" && cvl-host grab --count 1) | tee "$work/grab.txt"
[ -s "$work/run/cvl-host-system/images/image-1.pgm" ] || fail "cvl-host grab wrote no image"

echo "=== remove"
remove_package
[ ! -e /usr/bin/cvl-host ] || fail "/usr/bin/cvl-host is still there after removal"
echo "check-package: $(basename "$deb") built, installed, ran and removed"
