#!/usr/bin/env bash
# Builds the kit in build/ and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${JUDGEKIT_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
