#!/usr/bin/env bash
# The Windows program with its window under Wine, driven as a user drives it: the main window
# shows; "RD-X4の設定を取込", then "取込開始", saves the simulated RD-X4's pages (the same
# bytes as the Linux program's capture); after a restart on the RD-X4EX, "RD-X4EXに設定を復元",
# Yes, "復元開始" enters every reservation; "終了" ends the program cleanly (exit status 0, the
# settings written back). Needs an X display (DISPLAY, e.g. Xvfb) that the Wine session
# uses, and xdotool. With SHOT_DIR set, pictures of the main window and of the transfer dialog
# after the capture are left there.
#   window_smoke.sh WINDOWS_ZAVOCONV_EXE LINUX_ZAVOCONV LINUX_RECORDER_SIM WORK_DIR
set -euo pipefail
program=$1 linux_program=$2 simulator=$3 work=$4
wine=${WINE:-wine}
export WINEDEBUG=${WINEDEBUG:--all}
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: the window needs an X server (Xvfb)"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool is not installed"; exit 77; }

rm -rf "$work"
mkdir -p "$work/app" "$work/linux"
cp "$program" "$work/app/zavoconv.exe"
source "$(dirname "$0")/sim.sh"
program_pid=""
trap 'if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi; stop_sims' EXIT

settings() {
    printf '[RD]\r\nRDIP=127.0.0.1:%s\r\nRDUSER=demo\r\nRDPASS=demo\r\nRDPROXY=\r\nRDPORT=\r\n' "$1" \
        >"$work/app/zavoconv.INI"
}

# The window of that name (xdotool's id), waited for at most 30 s.
window() {
    local id
    id=$(timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1) ||
        fail "no window \"$1\""
    echo "$id"
}

gone() {
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the window \"$1\" stayed"
}

# Clicks at x,y inside the window (its own coordinates, as the program lays it out).
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Presses a key in a message box (its buttons' letters: y for Yes), after giving it the focus.
answer() {
    local box
    box=$(window "$1")
    sleep 0.5
    xdotool windowfocus --sync "$box" 2>/dev/null || true
    xdotool key --clearmodifiers "$2"
    gone "$1"
}

# A picture of one window (xwd, netpbm), when SHOT_DIR asks for pictures.
shot() {
    [ -n "${SHOT_DIR:-}" ] || return 0
    sleep 0.5
    xwd -id "$2" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$SHOT_DIR/$1.png"
}

main_title='ZAVO RD-X4→X4EX コンバータ Ver.2'
box_title='ZAVO RD-X4→X4RX コンバータ'

run_program() {
    (cd "$work/app" && "$wine" zavoconv.exe >"$work/app/out.log" 2>&1; echo $? >"$work/app/status") &
    program_pid=$!
    main=$(window "$main_title")
}

end_program() {
    rm -f "$work/app/status"
    click "$main" 108 115  # 終了
    for _ in $(seq 1 300); do
        [ -f "$work/app/status" ] && break
        sleep 0.1
    done
    [ "$(cat "$work/app/status" 2>/dev/null)" = 0 ] || fail "the program did not end cleanly"
}

# The capture.
start_sim "$work/x4.log" --mode x4 --seed 7 --count 6 --state "$work/x4.state"
settings "$port"
run_program
shot main-window "$main"
click "$main" 108 16  # RD-X4の設定を取込
dialog=$(window 'RD-X4の設定取込')
click "$dialog" 56 160  # 取込開始
answer "$box_title" Return
shot transfer-dialog "$dialog"
click "$dialog" 352 160  # 閉じる
gone 'RD-X4の設定取込'
end_program
ZAVOCONV_PASSWORD=demo "$linux_program" capture --host "127.0.0.1:$port" --user demo \
    --data-dir "$work/linux" >/dev/null 2>&1 || fail "the Linux capture"
for page in $(cd "$work/linux" && ls ZAVOCV*.HTM); do
    cmp "$work/linux/$page" "$work/app/$page" || fail "$page differs from the Linux capture"
done
[ "$(cd "$work/app" && ls ZAVOCV*.HTM | wc -l)" -eq 9 ] || fail "the window saved no whole set"

# The restore.
start_sim "$work/x4ex.log" --mode x4ex --state "$work/x4ex.state"
settings "$port"
run_program
click "$main" 108 82  # RD-X4EXに設定を復元
answer "$box_title" y  # はい: the upgrade and the channels are done
dialog=$(window 'RD-X4EXに設定を復元')
click "$dialog" 56 160  # 復元開始
answer "$box_title" Return
click "$dialog" 352 160
gone 'RD-X4EXに設定を復元'
end_program
cmp "$work/x4.state" "$work/x4ex.state" || fail "the RD-X4EX does not hold what the RD-X4 held"
grep -q '^RDIP=127.0.0.1:'"$port" "$work/app/zavoconv.INI" || fail "the settings were not kept"
echo "the window captured and restored; the program ended cleanly"
