#!/usr/bin/env bash
# Runs Ketrasmo's window test under Wine on an X server of its own (Xvfb picks a
# free display), so no display of the machine is used or needed. PREFIX is a Wine
# prefix for this test alone: its wineserver is stopped before the X server.
#   run_window_test.sh WINE_RUN PREFIX ARCH TEST_EXE
set -uo pipefail
wine_run=$1 prefix=$2 arch=$3 test_exe=$4

state=$(mktemp -d)
cleanup() {
  [ -n "${DISPLAY:-}" ] && "$wine_run" "$prefix" "$arch" --shutdown
  [ -f "$state/pid" ] && kill "$(cat "$state/pid")" 2>/dev/null
  rm -rf "$state"
}
trap cleanup EXIT

setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" \
  </dev/null >"$state/log" 2>&1 &
echo $! >"$state/pid"
for _ in $(seq 100); do
  [ -s "$state/display" ] && break
  sleep 0.1
done
if [ ! -s "$state/display" ]; then
  echo "run_window_test: Xvfb did not start within 10 s" >&2
  cat "$state/log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$state/display")"
timeout 60 "$wine_run" "$prefix" "$arch" --prepare || { echo "run_window_test: no prefix" >&2; exit 1; }
timeout 150 "$wine_run" "$prefix" "$arch" "$test_exe" --gtest_brief=1
