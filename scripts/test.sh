#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless. Every test run goes to its end,
# so that one pass shows every failure; the script fails at the end if any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVO_WERROR=ON
cmake --build "$build_dir" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen

failed=()

# ctest lists the tests it skipped but not why. The reasons are in their output, kept in
# ctest's log: GoogleTest's "file:line: Skipped" and the lines up to "[  SKIPPED ]", or all
# that a test script printed.
print_skip_reasons() {
    local summary=$1 log=$2
    awk 'FNR == NR {
             if (sub(/^[ \t]*[0-9]+ - /, "") && sub(/ \(Skipped\)$/, "")) skipped[$0] = 1
             next
         }
         /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
         !(name in skipped) { next }
         /^Output:$/ { getline; out = 1; text = ""; why = ""; inSkip = 0; next }
         !out { next }
         /^<end of output>$/ { out = 0; print "skipped: " name ": " (why != "" ? why : text); next }
         /: Skipped$/ { inSkip = 1; next }
         inSkip && /^\[  SKIPPED \]/ { inSkip = 0; next }
         inSkip { why = why (why == "" ? "" : " ") $0; next }
         { text = text (text == "" ? "" : " ") $0 }' "$summary" "$log"
}

# Runs one ctest invocation (name, then ctest's options), notes a failure instead of stopping
# and gives the reasons of the tests it skipped.
run_ctest() {
    local name=$1
    shift
    local summary
    summary=$(mktemp)
    ctest --test-dir "$build_dir" --output-on-failure --timeout 300 "$@" | tee "$summary" ||
        failed+=("$name")
    print_skip_reasons "$summary" "$build_dir/Testing/Temporary/LastTest.log"
    rm -f "$summary"
}

# The quick run first, then the 100 MB cases alone (they measure their own peak memory).
run_ctest quick --parallel "$(nproc)" -LE big
run_ctest big -L big
# The Windows programs and the Qt-free suites, cross-built and run under Wine.
LINUX_BUILD_DIR="$build_dir" bash scripts/test-windows.sh || failed+=(windows)

if [ ${#failed[@]} -gt 0 ]; then
    echo "failed test runs: ${failed[*]}" >&2
    exit 1
fi
