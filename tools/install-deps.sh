#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Quick when they are
# all present already: apt is only touched for what is missing. With the
# argument "windows" it installs the cross compilers and Wine for the Windows
# builds instead.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libboost-dev libboost-thread-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libpugixml-dev
    libwxgtk3.2-dev libgtk-3-dev
    xvfb xdotool
    imagemagick
    python3-open3d
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
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
