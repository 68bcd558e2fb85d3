#!/usr/bin/env bash
# Runs the Pimbrella test driver in its own Wine prefix on the test run's
# display, then keeps the window's screenshot as a PNG beside the BMP.
#   run-pimbrella-tests.sh WINE_RUN PREFIX ARCH DRIVER [driver args...]
set -uo pipefail
wine_run=$1 prefix=$2 arch=$3 driver=$4
shift 4

# The test run's display (tools/xvfb.sh, started for the build tree's prefix).
build=$(dirname "$prefix")
if [ -s "$build/wineprefix.xvfb.display" ]; then
  DISPLAY=$(cat "$build/wineprefix.xvfb.display")
  export DISPLAY
fi

screenshot=
for a in "$@"; do
  case "$a" in --screenshot=*) screenshot=${a#--screenshot=} ;; esac
done
[ -z "$screenshot" ] || rm -f "$screenshot" "${screenshot%.bmp}.png"

"$wine_run" "$prefix" "$arch" "$driver" --gtest_brief=1 "$@"
rc=$?
"$wine_run" "$prefix" "$arch" --shutdown

if [ -n "$screenshot" ] && [ -f "$screenshot" ]; then
  convert "$screenshot" "${screenshot%.bmp}.png" && rm -f "$screenshot" \
    && echo "screenshot of the window: ${screenshot%.bmp}.png"
fi
exit $rc
