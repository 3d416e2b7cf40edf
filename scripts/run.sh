#!/usr/bin/env bash
# Installs what is missing, builds Quorvel and runs it.
# With a desktop session it runs there; without one it starts a virtual X
# server with a light window manager, runs Quorvel on the simulated desktop of
# the demo scenario, takes a short tour and saves screenshots under out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build quorvel

if [ -n "${DISPLAY:-}" ] && xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1; then
  exec build/quorvel "$@"
fi

mkdir -p out
export QUORVEL_HOME=${QUORVEL_HOME:-$PWD/out/home}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
mkdir -p "$QUORVEL_HOME"

# A free display number for the virtual X server.
exec 3< <(Xvfb -displayfd 4 -screen 0 3432x982x24 -nolisten tcp 4>&1 2>/dev/null)
read -r -t 10 display_number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display_number"
xvfb_pid=$(pgrep -n Xvfb || true)
openbox >/dev/null 2>&1 &
wm_pid=$!
cleanup() { kill "$wm_pid" ${xvfb_pid:+"$xvfb_pid"} 2>/dev/null || true; }
trap cleanup EXIT
sleep 1

echo "Running Quorvel on the simulated desktop (virtual display $DISPLAY); screenshots go to out/"
QT_QPA_PLATFORM=xcb timeout 60 build/quorvel --simulated "${1:-resources/scenarios/demo.json}" --tour out
ls -1 out/*.png
