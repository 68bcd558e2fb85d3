#!/usr/bin/env bash
# A private X server (Xvfb) on a free display, for the windows of Wine programs
# where no display may be used: the tests, and the main job without a desktop.
#   xvfb.sh start STATE [SCREEN]  start it; STATE.display holds ":N", STATE.pid its
#                                 pid; SCREEN is WxHxD (default 1280x1024x24)
#   xvfb.sh stop STATE            stop the server that start recorded in STATE
# The display is never assumed: Xvfb picks a free one (-displayfd).
set -uo pipefail
action=${1:-} state=${2:-} screen=${3:-1280x1024x24}
[ -n "$state" ] || { echo "usage: xvfb.sh start|stop STATE [SCREEN]" >&2; exit 2; }

stop() {
  if [ -f "$state.pid" ]; then
    kill "$(cat "$state.pid")" 2>/dev/null || true
    rm -f "$state.pid"
  fi
  rm -f "$state.display" "$state.number"
}

case "$action" in
  start)
    stop
    mkdir -p "$(dirname "$state")"
    # Detached from this shell's output, so a test runner waiting on it returns.
    setsid Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp \
      3>"$state.number" </dev/null >"$state.log" 2>&1 &
    echo $! >"$state.pid"
    for _ in $(seq 100); do
      if [ -s "$state.number" ]; then
        echo ":$(head -n 1 "$state.number")" >"$state.display"
        exit 0
      fi
      kill -0 "$(cat "$state.pid")" 2>/dev/null || break
      sleep 0.1
    done
    echo "xvfb.sh: Xvfb did not start within 10 s:" >&2
    cat "$state.log" >&2
    stop
    exit 1
    ;;
  stop) stop ;;
  *) echo "usage: xvfb.sh start|stop STATE [SCREEN]" >&2; exit 2 ;;
esac
