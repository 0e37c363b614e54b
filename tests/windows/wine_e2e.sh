#!/usr/bin/env bash
# The Windows program against the simulated recorder, beside the Linux program: both capture
# the same RD-X4, list what they saved and restore it into an empty RD-X4EX. The saved pages,
# the listings, the posted bodies and the recorders' stored reservations must be the same bytes.
#
#   wine_e2e.sh LINUX_ZAVOCONV LINUX_RECORDER_SIM WINDOWS_ZAVOCONV_EXE WORK_DIR
# Runs under the caller's WINEPREFIX (and wineserver, when one is up).
set -euo pipefail
linux_program=$1 simulator=$2 windows_program=$3 work=$4
wine=${WINE:-wine}
export WINEDEBUG=${WINEDEBUG:--all}

rm -rf "$work"
mkdir -p "$work"
source "$(dirname "$0")/sim.sh"

# run SYSTEM COMMAND ARGS...: the Linux program, or the Windows one under Wine (with the data
# folder given as a Windows path).
run() {
    local system=$1
    shift
    if [ "$system" = linux ]; then
        "$linux_program" "$@"
    else
        "$wine" "$windows_program" "$@"
    fi
}

for system in linux windows; do
    dir="$work/$system"
    data="$dir/data"
    mkdir -p "$dir"
    shown=$data
    [ "$system" = windows ] && shown="Z:${data//\//\\}"

    start_sim "$dir/x4.log" --mode x4 --seed 7 --count 6 --state "$dir/x4.state"
    ZAVOCONV_PASSWORD=demo run "$system" capture --host "127.0.0.1:$port" --user demo \
        --data-dir "$shown" >"$dir/capture.out" 2>"$dir/capture.err" ||
        fail "$system capture: $(cat "$dir/capture.err")"
    run "$system" list --data-dir "$shown" >"$dir/list.out" 2>&1 || fail "$system list"
    run "$system" list --csv --data-dir "$shown" >"$dir/list.csv" 2>&1 || fail "$system list --csv"
    stop_sims

    start_sim "$dir/x4ex.log" --mode x4ex --seed 1 --state "$dir/x4ex.state" --post-log "$dir/posts"
    ZAVOCONV_PASSWORD=demo run "$system" restore --host "127.0.0.1:$port" --user demo \
        --data-dir "$shown" --yes >"$dir/restore.out" 2>"$dir/restore.err" ||
        fail "$system restore: $(cat "$dir/restore.err")"
    stop_sims
done

L=$work/linux W=$work/windows
pages=$(cd "$L/data" && ls ZAVOCV*.HTM)
[ "$(echo "$pages" | wc -l)" -eq 9 ] || fail "the Linux capture saved: $pages"
[ "$(cd "$W/data" && ls ZAVOCV*.HTM)" = "$pages" ] || fail "the Windows capture saved other files"
for page in $pages Reserv.txt; do
    cmp "$L/data/$page" "$W/data/$page" || fail "$page differs"
done
for file in capture.out list.out list.csv restore.out posts x4ex.state; do
    cmp "$L/$file" "$W/$file" || fail "$file differs"
done
cmp "$L/x4.state" "$L/x4ex.state" || fail "the RD-X4EX does not hold what the RD-X4 held"
[ "$(grep -c '^POST ' "$W/posts")" -eq 6 ] || fail "the Windows restore did not post six bodies"
echo "capture, list and restore gave the same bytes on Linux and under Wine"
