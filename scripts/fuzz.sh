#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and UBSan on) and runs
# each for a bounded time.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 600; with no TARGET every target runs, two at a time.
# Environment: BUILD_DIR (default build-fuzz), JOBS (targets run at once, default 2).
# New inputs that widen coverage go to $BUILD_DIR/corpus/<target>; a crashing input is left
# in $BUILD_DIR/artifacts/<target>/ and the script fails. Copy a crash into
# tests/fuzz/<target>/ once it is fixed, so every later smoke run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
all_targets=(entry_form entry_answer page_scan url_parse answer_header)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
build_dir=${BUILD_DIR:-build-fuzz}
jobs=${JOBS:-2}

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZAVO_FUZZ=ON -DZAVO_BUILD_UI=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
nice cmake --build "$build_dir" --parallel 2 --target "${targets[@]/#/fuzz_}"

run_one() {
    local t=$1
    mkdir -p "$build_dir/corpus/$t" "$build_dir/artifacts/$t"
    local args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048
                -dict="tests/fuzz/dict/$t.dict" -artifact_prefix="$build_dir/artifacts/$t/"
                -print_final_stats=1)
    case $t in
        entry_form) args+=(-max_len=8192) ;;
        answer_header) args+=(-max_len=4096) ;;
        *) args+=(-max_len=8192) ;;
    esac
    echo "fuzz $t for ${seconds}s (log: $build_dir/fuzz-$t.log)"
    if nice "$build_dir/tests/fuzz/fuzz_$t" "${args[@]}" "$build_dir/corpus/$t" "tests/fuzz/$t" \
        >"$build_dir/fuzz-$t.log" 2>&1; then
        echo "fuzz $t: no finding ($(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' \
            "$build_dir/fuzz-$t.log" || echo '? runs'))"
    else
        echo "fuzz $t: FINDING, see $build_dir/fuzz-$t.log and $build_dir/artifacts/$t/"
        return 1
    fi
}

status=0
pids=()
for t in "${targets[@]}"; do
    run_one "$t" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
