#!/usr/bin/env bash
# What the download promises a user of the LGPL: its relink/ folder, given a static Qt for
# MinGW-w64, links into a zavoconv.exe that runs.
#   relink_test.sh ZIP QT_TOOLCHAIN_FILE MINGW_TOOLCHAIN_FILE
set -euo pipefail
zip=$(realpath "$1") qt_toolchain=$2 mingw_toolchain=$3
wine=${WINE:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$zip" .zip)
(cd "$work" && cmake -E tar xf "$zip")
cmake -S "$work/$name/relink" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt_toolchain" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$mingw_toolchain" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
version=$(WINEDEBUG=-all "$wine" "$work/build/zavoconv.exe" --version)
expected=${name#zavoconv-}
expected="zavoconv ${expected%-win64}"
[ "$version" = "$expected" ] || { echo "the relinked program says: $version"; exit 1; }
echo "relinked: $version"
