#!/bin/sh
# Renders docs/bar-mixed-monitors.png: the real program on a live X11 screen
# (Xvfb + openbox) split into two RandR monitors of different heights, a
# 1920x1080 one and a 1280x1024 one to its right, each with its own bar and
# a maximised xterm that stops at it; the lowest 200 rows of the screen.
set -eu
. "$(dirname "$0")/lib/live-screenshot.sh"
render_live_screenshot QUORVEL_MIXED_MONITORS_SCREENSHOT docs/bar-mixed-monitors.png 'X11MixedMonitorsTest.*'
