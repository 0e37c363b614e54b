#!/usr/bin/env bash
# The Windows download holds what a user needs and nothing that a bare Windows lacks: the
# programs (importing only the system's own DLLs, stripped), the README and the licence
# texts, and the program's objects for linking it with another Qt.
#   check_zip.sh ZIP OBJDUMP
set -euo pipefail
zip=$(realpath "$1") objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$zip" .zip)
(cd "$work" && cmake -E tar xf "$zip")
cd "$work/$name"
fail() {
    echo "$name.zip: $*"
    exit 1
}

found=$(find . -type f ! -path './relink/objects/*' ! -path './relink/lib/*' | sed 's|^\./||' | sort |
    tr '\n' ' ')
expected="LICENSE.txt README.txt licenses/GPL-3.txt licenses/LGPL-3.txt licenses/Qt-copyright.txt \
recorder-sim.exe relink/CMakeLists.txt relink/README.txt zavoconv-cli.exe zavoconv.exe "
[ "$found" = "$expected" ] || fail "holds $found"
for library in app transfer_ui appcore transfer transfer_core http net base platform; do
    [ -f "relink/lib/libzavo_$library.a" ] || fail "relink/lib lacks libzavo_$library.a"
done
[ -f relink/objects/main.cpp.obj ] || fail "relink/objects lacks the program's start-up"

system_dlls='^(kernel32|msvcrt|ws2_32|shell32|advapi32|user32|gdi32|ole32|oleaut32|imm32|winmm|version|uxtheme|dwmapi|shlwapi|shcore|comdlg32|comctl32|wtsapi32|authz|netapi32|userenv|crypt32|bcrypt|dwrite|d2d1|d3d9|d3d11|dxgi|setupapi|mpr|api-ms-win-[a-z0-9-]+)\.dll$'
for exe in zavoconv.exe zavoconv-cli.exe recorder-sim.exe; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || fail "$exe: no imports read"
    while read -r dll; do
        [[ "$dll" =~ $system_dlls ]] || fail "$exe needs $dll, which Windows does not bring"
    done <<<"$dlls"
    [[ "$("$objdump" -h "$exe")" != *".debug_"* ]] || fail "$exe is not stripped"
done
# The window program opens no console; the command line is a console program.
[[ "$("$objdump" -p zavoconv.exe)" == *"(Windows GUI)"* ]] || fail "zavoconv.exe is no window program"
[[ "$("$objdump" -p zavoconv-cli.exe)" == *"(Windows CUI)"* ]] ||
    fail "zavoconv-cli.exe is no console program"
grep -q $'\r$' README.txt || fail "README.txt lost its CR LF"
echo "$name.zip: $found"
