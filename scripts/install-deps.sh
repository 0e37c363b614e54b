#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev libcpp-httplib-dev
          qt6-translations-l10n)
# The install tree's check (the desktop's validators) and the Debian package (cpack -G DEB,
# checked by lintian).
packages+=(desktop-file-utils appstream dpkg-dev file lintian)
# The Windows build and its tests: MinGW-w64 (the POSIX thread model), Debian's GoogleTest
# sources to build for it, and Wine to run the result.
packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine wine64)
# The window under Wine: a virtual display, a hand on its mouse, Japanese fonts for Wine and
# for Qt's offscreen windows there.
packages+=(xvfb xdotool fonts-ipafont-gothic)
if [ "${1:-}" = "--demo" ]; then
    packages+=(xdg-utils fonts-ipafont-gothic)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    sudo_cmd=""
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
    $sudo_cmd apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y "${missing[@]}"
fi
