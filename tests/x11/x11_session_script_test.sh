#!/usr/bin/env bash
# The private session that the demo and the screenshots run in ends its own
# X server and window manager, and leaves another X server that runs beside
# it alone, even one started after it.
set -euo pipefail
script=$1
fd=$(mktemp)
trap 'kill "$other" 2>/dev/null || true; rm -f "$fd"' EXIT
# The other server starts while the session's command runs, so it is the
# newest Xvfb when the session ends.
"$script" run -- bash -c 'Xvfb -displayfd 3 -screen 0 320x240x24 -nolisten tcp 3>"$0" >/dev/null 2>&1 & echo $! >"$0.pid"
  until [ -s "$0" ]; do sleep 0.05; done' "$fd"
other=$(cat "$fd.pid")
rm -f "$fd.pid"
if ! kill -0 "$other" 2>/dev/null; then
  echo "the session ended another program's X server" >&2
  exit 1
fi
echo "the other X server still runs"
