#!/bin/sh
# Renders docs/bar-live.png: the real program's bar on a live X11 desktop
# (Xvfb + openbox, no compositing manager) with real applications running
# (xterm, and xcalc, xeyes, ... where installed), as the X server shows it,
# with a strip of the desktop above it.
set -eu
. "$(dirname "$0")/lib/live-screenshot.sh"
render_live_screenshot QUORVEL_LIVE_BAR_SCREENSHOT docs/bar-live.png 'X11BarLookTest.LiveScreenshot'
