#!/usr/bin/env bash
# Builds Quorvel and runs the whole test suite (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVEL_CMAKE_ARGS:-}
ninja -C "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${QUORVEL_CTEST_ARGS:-}
