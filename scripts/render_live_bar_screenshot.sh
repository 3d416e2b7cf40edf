#!/bin/sh
# Renders docs/bar-live.png: the real program's bar on a live X11 desktop
# (Xvfb + openbox, no compositing manager) with real applications running
# (xterm, and xcalc, xeyes, ... where installed), as the X server shows it,
# with a strip of the desktop above it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshot}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$build" -j4 test_x11 quorvel
QUORVEL_LIVE_BAR_SCREENSHOT="$root/docs/bar-live.png" \
  "$build/tests/test_x11" --gtest_filter='X11BarLookTest.LiveScreenshot'
echo "wrote $root/docs/bar-live.png"
