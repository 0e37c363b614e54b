#!/usr/bin/env bash
# Cross-builds the Windows programs and their Qt-free test suites with MinGW-w64 and runs the
# suites under Wine, headless, in a fresh Wine prefix. Called by scripts/test.sh after the
# Linux suites; needs the Linux build (LINUX_BUILD_DIR) for the end-to-end comparison.
#
# Environment: WIN_BUILD_DIR (default build-win), LINUX_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

win_build=${WIN_BUILD_DIR:-build-win}
linux_build=${LINUX_BUILD_DIR:-build}

cmake -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVO_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DZAVO_BUILD_UI=OFF \
    -DZAVO_LINUX_BUILD_DIR="$(realpath -m "$linux_build")"
cmake --build "$win_build" --parallel "$(nproc)"

# A prefix of its own for this run, and one wineserver that stays up for all the tests: a
# cold start costs seconds per test program, a warm one a few milliseconds. The server's
# output goes nowhere: on CTest's pipe it would hold CTest open after the last test.
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zavo-wine-XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineserver -p >/dev/null 2>&1 </dev/null
wineboot -i >/dev/null 2>&1 </dev/null

ctest --test-dir "$win_build" --output-on-failure --timeout 300 --parallel "$(nproc)"
