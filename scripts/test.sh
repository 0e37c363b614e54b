#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVO_WERROR=ON
cmake --build "$build_dir" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The quick run first, then the 100 MB cases alone (they measure their own peak memory).
ctest --test-dir "$build_dir" --output-on-failure --timeout 300 --parallel "$(nproc)" -LE big
ctest --test-dir "$build_dir" --output-on-failure --timeout 300 -L big
# The Windows programs and the Qt-free suites, cross-built and run under Wine.
LINUX_BUILD_DIR="$build_dir" bash scripts/test-windows.sh
