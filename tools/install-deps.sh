#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Quick when they are
# all present already: apt is only touched for what is missing. With the
# argument "windows" it installs the cross compilers and Wine for the Windows
# builds instead.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-tidy
    libboost-dev libboost-thread-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libpugixml-dev
    libwxgtk3.2-dev libgtk-3-dev
    xvfb xdotool
    imagemagick
    python3-numpy python3-open3d
    pkgconf dpkg-dev file lintian man-db
)
if [ "${1:-}" = windows ]; then
    # The Windows builds and Wine to run their tests; wine32 is a 32-bit package.
    packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64 wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: missing packages and not root; run as root or install: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if [ "${1:-}" = windows ]; then
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    fi
    # A mirror part-way through a sync fails one index now and then: try
    # again, then install from what was fetched, and let apt-get install say
    # if a package really cannot be had.
    for attempt in 1 2 3; do
        apt-get update -qq && break
        echo "apt-get update failed (attempt $attempt of 3)" >&2
        sleep $((attempt * 10))
    done
    if apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
        exit 0
    fi
    # The 32-bit Wine needs every 32-bit library at the version of its 64-bit
    # twin; while the i386 index lags behind, install the rest, and the tests
    # run the Windows suites on the 64-bit build instead.
    [ "${1:-}" = windows ] || exit 1
    echo "warning: wine32:i386 cannot be installed now; the suites will run on windows-x64" >&2
    apt-get install -y -qq --no-install-recommends "${missing[@]/wine32:i386/}"
fi
