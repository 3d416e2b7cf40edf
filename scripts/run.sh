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

# A private virtual X server and window manager; the session script ends
# exactly the two it started, never another program's X server.
echo "Running Quorvel on the simulated desktop (on a virtual display); screenshots go to out/"
QT_QPA_PLATFORM=xcb scripts/x11-session.sh run --size 3432x982 -- \
  timeout 60 build/quorvel --simulated "${1:-resources/scenarios/demo.json}" --tour out
ls -1 out/*.png
