#!/usr/bin/env bash
# Makes the static Qt 6.4.2 for MinGW-w64 that the Windows window program is built with, and
# prints the folder it is in (the one holding lib/cmake/Qt6/qt.toolchain.cmake).
#
# Debian packages no Qt for MinGW. The ready archive qt6.4.2-mingw64-static.tar.xz (built from
# Debian's own qt6-base sources) is used when a folder shared/qt6-mingw/ beside the repository
# or above it holds it and its SHA-256 is the one below; otherwise the same Qt is built from
# Debian's qt6-base source package (about 15 minutes and 2.7 GB on two cores). Either way the
# result is kept in the cache folder and used from there next time.
#
# Environment: ZAVO_QT_MINGW_ARCHIVE (an archive to use instead of searching), ZAVO_CACHE_DIR
# (default ${XDG_CACHE_HOME:-~/.cache}/zavoconv).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

archive_name=qt6.4.2-mingw64-static.tar.xz
archive_sha256=e92babddf62fd2263ff0ae48cbfbba8ddbb914168ff5036e2cfdb5ab04f0e370
cache=${ZAVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zavoconv}
prefix=$cache/qt6.4.2-mingw64-static
toolchain=$prefix/lib/cmake/Qt6/qt.toolchain.cmake

if [ -f "$prefix/.complete" ] && [ -f "$toolchain" ]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$cache"

find_archive() {
    if [ -n "${ZAVO_QT_MINGW_ARCHIVE:-}" ]; then
        echo "$ZAVO_QT_MINGW_ARCHIVE"
        return
    fi
    local dir=$root
    while :; do
        if [ -f "$dir/shared/qt6-mingw/$archive_name" ]; then
            echo "$dir/shared/qt6-mingw/$archive_name"
            return
        fi
        [ "$dir" = / ] && return
        dir=$(dirname "$dir")
    done
}

unpack() {
    local archive=$1
    rm -rf "$prefix.tmp" && mkdir -p "$prefix.tmp"
    tar -xJf "$archive" -C "$prefix.tmp"
    rm -rf "$prefix"
    mv "$prefix.tmp/qt6-mingw64" "$prefix"
    rm -rf "$prefix.tmp"
}

archive=$(find_archive)
# Everything but the folder printed at the end goes to standard error: callers read the folder.
if [ -n "$archive" ] && echo "$archive_sha256  $archive" | sha256sum -c --quiet - >/dev/null 2>&1; then
    echo "using $archive" >&2
    unpack "$archive"
else
    if [ -n "$archive" ] && [ -f "$archive" ]; then
        echo "$archive: its checksum is not the expected one; building Qt instead" >&2
    elif [ -n "$archive" ]; then
        echo "$archive: no such file; building Qt instead" >&2
    fi
    echo "building Qt 6.4.2 for MinGW-w64 from Debian's qt6-base source (about 15 minutes)" >&2
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    # The source package needs deb-src entries for the configured Debian mirror.
    if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
        src=/etc/apt/sources.list.d/zavoconv-debian-src.sources
        {
            echo "Types: deb-src"
            echo "URIs: http://deb.debian.org/debian"
            echo "Suites: $(. /etc/os-release && echo "$VERSION_CODENAME")"
            echo "Components: main"
            echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
        } | $sudo_cmd tee "$src" >/dev/null
        $sudo_cmd apt-get update >&2
    fi
    work=$cache/qt-build
    rm -rf "$work" && mkdir -p "$work/build"
    (cd "$work" && apt-get source qt6-base >/dev/null 2>&1)
    source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' | head -n 1)
    [ -n "$source_dir" ] || { echo "no qt6-base 6.4.2 source was fetched" >&2; exit 1; }
    (cd "$work/build" &&
        "$source_dir/configure" -prefix "$prefix" -platform win32-g++ -qt-host-path /usr \
            -static -static-runtime -release -no-opengl -no-dbus -no-icu -no-glib -no-zstd \
            -nomake examples -nomake tests -no-feature-network -no-feature-sql \
            -no-feature-printsupport -no-feature-testlib -no-feature-vulkan \
            -no-feature-tabletevent -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
            -qt-pcre -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1 &&
        cmake --build . --parallel "$(nproc)" >"$work/build.log" 2>&1 &&
        cmake --install . >"$work/install.log" 2>&1) ||
        { echo "the Qt build failed; see $work/*.log" >&2; exit 1; }
    rm -rf "$work"
fi
[ -f "$toolchain" ] || { echo "no $toolchain" >&2; exit 1; }
touch "$prefix/.complete"
echo "$prefix"
