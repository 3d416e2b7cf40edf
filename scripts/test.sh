#!/usr/bin/env bash
# Builds Quorvel and runs the whole test suite (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVEL_CMAKE_ARGS:-}
ninja -C "$build"
export QT_QPA_PLATFORM=offscreen
if [ -n "${QUORVEL_CTEST_ARGS:-}" ]; then
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" ${QUORVEL_CTEST_ARGS}
  exit
fi
# The live-desktop tests each run an X server, a window manager and real
# clients; they run a few at a time, after the rest. Each waits for what it
# needs, so one try is the verdict.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -E '^(X11|Managers/)'
ctest --test-dir "$build" --output-on-failure -j 3 -R '^(X11|Managers/)'
