#!/usr/bin/env bash
# Runs Ketrasmo's window test under Wine on an X server of its own (Xvfb picks a
# free display), so no display of the machine is used or needed. PREFIX is a Wine
# prefix for this test alone: its wineserver is stopped before the X server.
#   run_window_test.sh WINE_RUN PREFIX ARCH TEST_EXE
set -uo pipefail
wine_run=$1 prefix=$2 arch=$3 test_exe=$4

xvfb="$(dirname "$wine_run")/xvfb.sh"
state=$(mktemp -d)/xvfb
cleanup() {
  [ -n "${DISPLAY:-}" ] && "$wine_run" "$prefix" "$arch" --shutdown
  "$xvfb" stop "$state"
  rm -rf "$(dirname "$state")"
}
trap cleanup EXIT

"$xvfb" start "$state" 1024x768x24 || { echo "run_window_test: no X server" >&2; exit 1; }
DISPLAY=$(cat "$state.display")
export DISPLAY
timeout 60 "$wine_run" "$prefix" "$arch" --prepare || { echo "run_window_test: no prefix" >&2; exit 1; }
# The test keeps a screenshot of the connected recorder as a BMP beside the prefix.
shot="$(dirname "$prefix")/ketrasmo"
rm -f "$shot.bmp" "$shot.png"
rc=0
timeout 150 "$wine_run" "$prefix" "$arch" "$test_exe" --gtest_brief=1 || rc=$?
if [ -f "$shot.bmp" ]; then
  convert "$shot.bmp" "$shot.png" && rm -f "$shot.bmp" && echo "screenshot of the window: $shot.png"
fi
exit $rc
