#!/usr/bin/env bash
# Builds the program and the recorder simulator, starts the simulator with sample
# reservations, prepares a program directory whose settings point at it, and starts
# the program there.
#   bash scripts/demo.sh          RD-X4 mode (capture from it)
#   bash scripts/demo.sh --x4ex   RD-X4EX mode (restore into it), same program directory
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

mode=x4
case "${1:-}" in
    "") ;;
    --x4ex) mode=x4ex ;;
    *) echo "usage: bash scripts/demo.sh [--x4ex]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh --demo

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --parallel "$(nproc)" --target zavoconv recorder-sim

demo_dir="$root/demo"
mkdir -p "$demo_dir"
cp -f "$build_dir/app/zavoconv" "$demo_dir/zavoconv"

user=demo
password=demo
log="$demo_dir/recorder-sim-$mode.log"
sim_args=(--mode "$mode" --port 0 --user "$user" --password "$password"
          --state "$demo_dir/recorder-$mode.state")
if [ "$mode" = x4 ]; then sim_args+=(--seed 7 --count 6); fi

"$build_dir/tools/recorder-sim/recorder-sim" "${sim_args[@]}" >"$log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT

port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$port" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then cat "$log" >&2; exit 1; fi
    sleep 0.1
done
if [ -z "$port" ]; then echo "the simulator did not start; see $log" >&2; exit 1; fi

# The settings file beside the program: host with the simulator's port, its user and password.
ini="$demo_dir/zavoconv.INI"
printf '[RD]\r\nRDIP=127.0.0.1:%s\r\nRDUSER=%s\r\nRDPASS=%s\r\nRDPROXY=\r\nRDPORT=\r\n' \
    "$port" "$user" "$password" >"$ini.tmp"
chmod 600 "$ini.tmp"
mv -f "$ini.tmp" "$ini"

echo "recorder simulator ($mode) on 127.0.0.1:$port, log $log"
echo "program directory $demo_dir"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "no display: set DISPLAY (or run under xvfb-run) to see the window" >&2
    exit 1
fi
(cd "$demo_dir" && ./zavoconv)
