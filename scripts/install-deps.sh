#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Nimbrel needs.
set -euo pipefail

packages=(
    cmake make g++ clang clang-tidy clang-format libclang-rt-14-dev
    libgtest-dev googletest python3
    mingw-w64 g++-mingw-w64-x86-64 wine wine64
    xvfb xdotool x11-utils imagemagick python3-xlib
    x11-xserver-utils xcvt xserver-xorg-core xserver-xorg-video-dummy
    nsis zip groff poppler-utils git
    librsvg2-bin python3-pil tango-icon-theme
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
