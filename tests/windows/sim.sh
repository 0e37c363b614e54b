# What the Windows scripts share, sourced by them: failing with a reason, and the simulated
# recorders they start ($simulator) and stop again on every way out.
sims=()
trap 'stop_sims' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# start_sim LOG OPTIONS...: starts a recorder with the demo's user and sets port to its port.
start_sim() {
    local log=$1
    shift
    "$simulator" --port 0 --user demo --password demo --quiet "$@" >"$log" 2>&1 &
    sims+=($!)
    port=""
    for _ in $(seq 1 100); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" 2>/dev/null)
        [ -n "$port" ] && return
        sleep 0.05
    done
    fail "the simulator did not start: $(cat "$log")"
}

stop_sims() {
    for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${sims[@]}"; do wait "$p" 2>/dev/null || true; done
    sims=()
}
