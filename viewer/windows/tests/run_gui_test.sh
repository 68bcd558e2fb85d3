#!/usr/bin/env bash
# Runs the viewer's window test under Wine on an X server of its own (Xvfb picks
# a free display), in a Wine prefix of its own. Every wait is bounded.
# Usage: run_gui_test.sh WINE_RUN PREFIX ARCH DRIVER.exe LUDROVANE.exe [SCREENSHOT.png]
set -euo pipefail
wine_run=$1 prefix=$2 arch=$3 driver=$4 viewer=$5 shot=${6:-}

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

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
