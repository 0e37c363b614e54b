#!/usr/bin/env bash
# The Windows download holds what a user needs and nothing that a bare Windows lacks: the two
# programs (importing only the system's own DLLs), the README and the licence texts.
#   check_zip.sh ZIP OBJDUMP
set -euo pipefail
zip=$(realpath "$1") objdump=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$zip" .zip)
(cd "$work" && cmake -E tar xf "$zip")
expected="$name/LICENSE.txt $name/README.txt $name/recorder-sim.exe $name/zavoconv.exe"
found=$(cd "$work" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ' | sed 's/ $//')
[ "$found" = "$expected" ] || { echo "the zip holds: $found"; exit 1; }
system_dlls='^(KERNEL32|msvcrt|WS2_32|SHELL32|ADVAPI32|USER32|GDI32|ole32|OLEAUT32|IMM32|WINMM|VERSION|UxTheme|dwmapi|SHLWAPI|COMDLG32|COMCTL32|WTSAPI32|AUTHZ|NETAPI32|USERENV|CRYPT32|bcrypt|dwrite|d2d1|d3d9|d3d11|dxgi|SETUPAPI|MPR|api-ms-win-[a-z0-9-]+)\.dll$'
for exe in zavoconv.exe recorder-sim.exe; do
    dlls=$("$objdump" -p "$work/$name/$exe" | sed -n 's/^\s*DLL Name: //p')
    [ -n "$dlls" ] || { echo "$exe: no imports read"; exit 1; }
    while read -r dll; do
        [[ "$dll" =~ $system_dlls ]] || { echo "$exe needs $dll, which Windows does not bring"; exit 1; }
    done <<<"$dlls"
    # Stripped: no debugging sections travel to the user.
    if "$objdump" -h "$work/$name/$exe" | grep -q '\.debug_'; then echo "$exe is not stripped"; exit 1; fi
done
grep -q $'\r$' "$work/$name/README.txt" || { echo "README.txt lost its CR LF"; exit 1; }
echo "$name.zip: $found"
