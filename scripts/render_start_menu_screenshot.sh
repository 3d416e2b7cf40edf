#!/bin/sh
# Renders docs/start-menu.png: the start menu over a simulated desktop, light
# with its sections on the left, dark while searching on the right, drawn by
# the program's own widgets on the offscreen platform.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshot}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$build" -j4 test_startmenu
QT_QPA_PLATFORM=offscreen QUORVEL_START_MENU_SCREENSHOT="$root/docs/start-menu.png" \
  "$build/tests/test_startmenu" --gtest_filter='StartMenuRenderTest.LightAndDark*'
echo "wrote $root/docs/start-menu.png"
