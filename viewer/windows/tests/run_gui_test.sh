#!/usr/bin/env bash
# Runs the viewer's window test under Wine on an X server of its own (Xvfb picks
# a free display), in a Wine prefix of its own. Every wait is bounded.
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
if [ -n "$shot" ]; then
  mkdir -p "$work/handshake"
  args+=("$(winepath -w "$work/handshake" 2>/dev/null || echo "Z:${work//\//\\}\\handshake")")
  (
    for _ in $(seq 1200); do
      if [ -f "$work/handshake/ready" ]; then
        sleep 1
        import -window root "$shot" || true
        touch "$work/handshake/shot"
        exit 0
      fi
      sleep 0.1
    done
  ) &
fi
timeout 180 "$wine_run" "$prefix" "$arch" "${args[@]}"
