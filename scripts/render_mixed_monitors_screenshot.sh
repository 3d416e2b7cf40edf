#!/bin/sh
# Renders docs/bar-mixed-monitors.png: the real program on a live X11 screen
# (Xvfb + openbox) split into two RandR monitors of different heights, a
# 1920x1080 one and a 1280x1024 one to its right, each with its own bar and
# a maximised xterm that stops at it; the lowest 200 rows of the screen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshot}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$build" -j4 test_x11 quorvel
QUORVEL_MIXED_MONITORS_SCREENSHOT="$root/docs/bar-mixed-monitors.png" \
  "$build/tests/test_x11" --gtest_filter='X11MixedMonitorsTest.*'
echo "wrote $root/docs/bar-mixed-monitors.png"
