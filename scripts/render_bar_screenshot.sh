#!/bin/sh
# Renders docs/bar.png: a bar on a simulated 1440x900 display, light above
# dark, drawn by the program's own widgets on the offscreen platform.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshot}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$build" -j4 test_taskbar
QT_QPA_PLATFORM=offscreen QUORVEL_BAR_SCREENSHOT="$root/docs/bar.png" \
  "$build/tests/test_taskbar" --gtest_filter='BarScreenshotTest.*'
echo "wrote $root/docs/bar.png"
