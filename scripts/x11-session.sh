#!/usr/bin/env bash
# A private X11 session for the tests and the demo: Xvfb on a free display
# number with the openbox window manager.
#
#   scripts/x11-session.sh run [--size WxH] -- COMMAND [ARGS...]
#       starts the session, runs COMMAND with DISPLAY set, stops the session
#       and exits with COMMAND's status.
#   scripts/x11-session.sh start [--size WxH]
#       starts the session in the background and prints "DISPLAY=:N" and the
#       state file to pass to "stop".
#   scripts/x11-session.sh stop STATEFILE
#       ends the Xvfb and openbox of that session.
#
# Every wait is bounded; a missing Xvfb or openbox is an error, never a skip.
set -euo pipefail

size=1280x800
mode=${1:-}
[ -n "$mode" ] && shift || true

die() { echo "x11-session: $*" >&2; exit 2; }

need() {
  command -v "$1" >/dev/null 2>&1 || die "$1 is not installed (Debian package: $2)"
}

start_session() {
  need Xvfb xvfb
  need openbox openbox
  local fdfile errlog
  fdfile=$(mktemp /tmp/x11-session.XXXXXX)
  errlog=$(mktemp /tmp/x11-session-xvfb.XXXXXX)
  # -displayfd: Xvfb picks a free display number and writes it to the fd.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>"$errlog" &
  xvfb_pid=$!
  local n=0
  while [ ! -s "$fdfile" ]; do
    n=$((n + 1))
    if [ $n -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
      cat "$errlog" >&2 || true
      kill "$xvfb_pid" 2>/dev/null || true
      rm -f "$fdfile" "$errlog"
      die "Xvfb did not start"
    fi
    sleep 0.05
  done
  display=":$(head -n1 "$fdfile" | tr -d '[:space:]')"
  rm -f "$fdfile" "$errlog"
  DISPLAY=$display openbox --sm-disable >/dev/null 2>&1 &
  openbox_pid=$!
  # Wait for the window manager to announce itself (EWMH check window).
  n=0
  until DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    n=$((n + 1))
    if [ $n -gt 100 ] || ! kill -0 "$openbox_pid" 2>/dev/null; then
      kill "$openbox_pid" "$xvfb_pid" 2>/dev/null || true
      die "openbox did not start on $display"
    fi
    sleep 0.05
  done
}

stop_pids() {
  for pid in "$@"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    for _ in $(seq 1 40); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
  done
}

parse_size() {
  if [ "${1:-}" = "--size" ]; then
    [ -n "${2:-}" ] || die "--size needs WxH"
    size=$2
    return 0
  fi
  return 1
}

case "$mode" in
  run)
    if parse_size "$@"; then shift 2; fi
    [ "${1:-}" = "--" ] && shift
    [ $# -gt 0 ] || die "run needs a command"
    start_session
    trap 'stop_pids "$openbox_pid" "$xvfb_pid"' EXIT
    set +e
    DISPLAY=$display "$@"
    status=$?
    set -e
    exit $status
    ;;
  start)
    if parse_size "$@"; then shift 2; fi
    start_session
    state=$(mktemp /tmp/x11-session-state.XXXXXX)
    echo "$xvfb_pid $openbox_pid" >"$state"
    echo "DISPLAY=$display"
    echo "STATE=$state"
    ;;
  stop)
    [ -f "${1:-}" ] || die "stop needs the state file printed by start"
    # shellcheck disable=SC2046
    stop_pids $(cat "$1")
    rm -f "$1"
    ;;
  *)
    sed -n '2,15p' "$0" >&2
    exit 2
    ;;
esac
