#!/usr/bin/env bash
# Installs the Debian packages Dirtally needs to build, package and run (and, with "test", to
# test), when any of them is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libcanberra-dev libcanberra0
          libcanberra-pulse sound-theme-freedesktop fonts-liberation fonts-dejavu-core
          fonts-texgyre xdg-utils qt6-wayland dpkg-dev)
if [[ "${1:-}" == test ]]; then
    packages+=(xvfb xauth xdotool imagemagick x11-utils openbox pulseaudio pulseaudio-utils
               procps python3 util-linux btrfs-progs
               desktop-file-utils appstream man-db groff-base lintian clang libclang-rt-14-dev
               weston xwayland wmctrl jq clang-tidy clang-format)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
