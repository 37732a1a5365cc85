#!/usr/bin/env bash
# Installs the Debian packages the build, the saver and the tests need, when
# any is missing. Run as root on Debian 12.
set -euo pipefail

packages=(
    cmake make g++ pkg-config
    g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools
    libgtest-dev googletest libbenchmark-dev
    libosmesa6-dev libglu1-mesa-dev libpng-dev
    libx11-dev libgl-dev libasound2-dev libasound2-plugins
    wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick
    pulseaudio pulseaudio-utils sox
    openmpt123 xmp
    clang libclang-rt-14-dev
    clang-format bc perl
    xscreensaver lintian libxml2-utils libxml-libxml-perl icoutils dpkg-dev unzip file
    emscripten nodejs chromium python3
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
