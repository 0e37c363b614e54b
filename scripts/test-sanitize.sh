#!/usr/bin/env bash
# Builds the logic, the simulator and their tests with AddressSanitizer and UBSan and runs
# them headless (the widget tests are left to the normal build).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir=${BUILD_DIR:-build-asan}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVO_WERROR=ON \
    -DZAVO_SANITIZE=ON -DZAVO_BUILD_UI=OFF
cmake --build "$build_dir" --parallel "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 --parallel "$(nproc)"
