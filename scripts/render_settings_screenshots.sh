#!/bin/sh
# Renders docs/settings-general.png: the settings window's General pane in
# English (left) and Simplified Chinese (right), light above dark, drawn by
# the program's own widgets on the offscreen platform.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshot}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
fi
ninja -C "$build" -j4 test_settings
QT_QPA_PLATFORM=offscreen QUORVEL_SETTINGS_SCREENSHOT="$root/docs/settings-general.png" \
  "$build/tests/test_settings" --gtest_filter='SettingsRenderTest.*'
echo "wrote $root/docs/settings-general.png"

# The Task Bar and Dock panes: docs/settings-task-bar.png and docs/settings-dock.png.
QT_QPA_PLATFORM=offscreen QUORVEL_PANE_SCREENSHOT_DIR="$root/docs" \
  "$build/tests/test_settings" --gtest_filter='PaneRenderTest.*'
echo "wrote $root/docs/settings-task-bar.png and $root/docs/settings-dock.png"

# The Appearance pane with each start-button face (symbol in all four looks,
# then a pet and a custom picture) and the crop sheet:
# docs/settings-appearance.png and docs/settings-crop-sheet.png.
QT_QPA_PLATFORM=offscreen QUORVEL_PANE_SCREENSHOT_DIR="$root/docs" \
  "$build/tests/test_settings" --gtest_filter='AppearanceRenderTest.*'
echo "wrote $root/docs/settings-appearance.png and $root/docs/settings-crop-sheet.png"
