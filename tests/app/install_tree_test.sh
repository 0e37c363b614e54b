#!/usr/bin/env bash
# Installs the build into a temporary prefix as the README does (stripped) and checks the
# tree: the program, its manual page, its menu entry, its icons, its AppStream data and its
# documents, each where the desktop and man look for it. The validators run when they are
# installed (scripts/install-deps.sh installs them).
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d /tmp/zavo-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" --strip >/dev/null

expected=(
    bin/zavoconv
    share/man/man1/zavoconv.1.gz
    share/doc/zavoconv/changelog.gz
    share/doc/zavoconv/copyright
    share/applications/jp.zavo.zavoconv.desktop
    share/metainfo/jp.zavo.zavoconv.metainfo.xml
    share/icons/hicolor/scalable/apps/zavoconv.svg
    share/icons/hicolor/48x48/apps/zavoconv.png
)
status=0
for f in "${expected[@]}"; do
    if [ ! -f "$prefix/$f" ]; then echo "missing: $f"; status=1; fi
done
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    echo "installed files differ:"; diff <(echo "$wanted") <(echo "$actual") || true; status=1
fi
[ -x "$prefix/bin/zavoconv" ] || { echo "bin/zavoconv is not executable"; status=1; }
# Stripped of its symbols, its debugging sections and the compilers' notes in .comment.
if readelf -SW "$prefix/bin/zavoconv" | grep -E '\.(symtab|debug_|comment)'; then
    echo "bin/zavoconv is not stripped"; status=1
fi

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/zavoconv" --version)
[[ "$version" == "zavoconv "* ]] || { echo "installed program: --version gave '$version'"; status=1; }

# The menu entry starts what was installed, under the icon that was installed.
desktop=$prefix/share/applications/jp.zavo.zavoconv.desktop
grep -qx 'Exec=zavoconv' "$desktop" || { echo "Exec is not zavoconv"; status=1; }
grep -qx 'Icon=zavoconv' "$desktop" || { echo "Icon is not zavoconv"; status=1; }

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || status=1
else
    echo "desktop-file-validate not installed: skipped"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/jp.zavo.zavoconv.metainfo.xml" || status=1
else
    echo "appstreamcli not installed: skipped"
fi
exit $status
