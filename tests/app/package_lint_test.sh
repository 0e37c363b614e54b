#!/usr/bin/env bash
# Builds the Debian package of the build (cpack -G DEB, as the README does) in a scratch
# folder and has lintian check it as a Debian maintainer would: no finding at all, the
# informational ones (-I) included. Where lintian or the package tools are missing
# (scripts/install-deps.sh installs them) the check is skipped with the reason.
set -euo pipefail
build_dir=$1
for tool in lintian dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed: the Debian package is not checked"
        exit 77
    fi
done
scratch=$(mktemp -d /tmp/zavo-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

if ! cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    exit 1
fi
deb=$(find "$scratch" -maxdepth 1 -name '*.deb')
# Findings go to standard output; standard error carries lintian's own trouble (and, as root,
# a note that it runs as root).
if ! findings=$(lintian -I --fail-on none "$deb" 2>"$scratch/lintian.err"); then
    echo "lintian did not run through:"
    cat "$scratch/lintian.err"
    exit 1
fi
if [ -n "$findings" ]; then
    echo "lintian -I on $(basename "$deb"):"
    echo "$findings"
    exit 1
fi
echo "lintian -I on $(basename "$deb"): nothing to report"
