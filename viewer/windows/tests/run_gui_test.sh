#!/usr/bin/env bash
# Runs the viewer's window test under Wine on an X server of its own (Xvfb picks
# a free display), in a Wine prefix of its own. Every wait is bounded. With
# SCREENSHOT.png the window as it shows after the load is kept there.
# Usage: run_gui_test.sh WINE_RUN PREFIX ARCH DRIVER.exe LUDROVANE.exe [SCREENSHOT.png]
set -euo pipefail
wine_run=$1 prefix=$2 arch=$3 driver=$4 viewer=$5 shot=${6:-}

xvfb="$(dirname "$wine_run")/xvfb.sh"
work=$(mktemp -d)
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  "$xvfb" stop "$work/xvfb"
  rm -rf "$work"
}
trap cleanup EXIT

"$xvfb" start "$work/xvfb" 1024x768x24 || { echo "Xvfb did not start"; exit 1; }
DISPLAY=$(cat "$work/xvfb.display")
export DISPLAY

args=("$driver" "$viewer")
bmp=
if [ -n "$shot" ]; then
  rm -f "$shot"
  bmp="${shot%.png}.bmp"
  args+=("Z:${bmp//\//\\}")
fi
rc=0
timeout 180 "$wine_run" "$prefix" "$arch" "${args[@]}" || rc=$?
if [ -n "$bmp" ] && [ -f "$bmp" ]; then
  convert "$bmp" "$shot" && rm -f "$bmp" && echo "screenshot of the window: $shot"
fi
exit $rc
