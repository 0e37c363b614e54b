#!/usr/bin/env bash
# Cross-builds the Windows programs (the window with a static Qt, the command line, the
# simulator) and their test suites with MinGW-w64 and runs the suites under Wine, headless, in
# a fresh Wine prefix: the Qt-free suites, the window tests offscreen, and the real program's
# window on a virtual X display. Called by scripts/test.sh after the Linux suites; needs the
# Linux build (LINUX_BUILD_DIR) for the comparisons.
#
# Environment: WIN_BUILD_DIR (default build-win), LINUX_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

win_build=${WIN_BUILD_DIR:-build-win}
linux_build=${LINUX_BUILD_DIR:-build}

# Qt for MinGW-w64 (from the shared archive, or built from Debian's sources once).
qt=$(bash scripts/qt-mingw.sh)
cmake -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVO_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZAVO_LINUX_BUILD_DIR="$(realpath -m "$linux_build")"
cmake --build "$win_build" --parallel "$(nproc)"

# A virtual display for the window, started before Wine so that Wine's session draws on it.
xvfb_pid=""
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.05
done
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"

# A prefix of its own for this run, and one wineserver that stays up for all the tests: a
# cold start costs seconds per test program, a warm one a few milliseconds. The server's
# output goes nowhere: on CTest's pipe it would hold CTest open after the last test.
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/zavo-wine-XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineserver -p >/dev/null 2>&1 </dev/null
wineboot -i >/dev/null 2>&1 </dev/null
# The windows ask for the fonts Windows has (ＭＳ Ｐゴシック, ＭＳ ゴシック); Wine is given
# the host's Japanese fonts under those names.
fonts=$WINEPREFIX/japanese-fonts.reg
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"MS PGothic"="IPAPGothic"' \
    '"MS Gothic"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' | iconv -f UTF-8 -t UTF-16 >"$fonts"
wine regedit /S "$(winepath -w "$fonts")" >/dev/null 2>&1 </dev/null

ctest --test-dir "$win_build" --output-on-failure --timeout 300 --parallel "$(nproc)"
