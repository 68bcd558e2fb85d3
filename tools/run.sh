#!/usr/bin/env bash
# The main job: set-up, the scenario checked, the Windows build, the controls
# registered in a Wine prefix of the job's own, then Pimbrella hosting the CRM
# control, its devices simulated by the scenario (NORVELLIX_SIMULATOR).
#   tools/run.sh [SCENARIO]     default: scenarios/demo.scn
# A scenario that the stand-in refuses stops the job before anything is built or
# started: its refusal "<file>:<line>: <reason>" and exit status 2.
# The 32-bit build runs where this machine runs 32-bit programs (the set-up
# tries); elsewhere the 64-bit build does, in a 64-bit prefix.
# With a display (DISPLAY reachable) the window shows live until it is closed.
# Without one it runs under a private Xvfb for the length of the scenario, and
# a screenshot of the window is saved to build/pimbrella.png.
set -euo pipefail
given=${1:-}
if [ -n "$given" ]; then
  if [ ! -f "$given" ]; then
    echo "run: no scenario file '$given'" >&2
    exit 2
  fi
  scenario=$(realpath -- "$given")
fi
here=$PWD
cd "$(dirname "$0")/.."
root=$PWD
if [ -z "$given" ]; then
  given=scenarios/demo.scn
  scenario=$root/$given
  here=$root
fi

bash tools/setup.sh
read -r runs_32bit <build/runs-32bit || runs_32bit="no: the set-up left no answer"

# The scenario as the stand-in reads it (one parser: the stand-in's own, in a small
# native program), named as it was given; WAV files are found beside it.
mkdir -p build
if ! { cmake --preset tools && cmake --build --preset tools; } >build/tools-build.log 2>&1; then
  tail -n 40 build/tools-build.log >&2
  echo "run: the scenario checker could not be built (build/tools-build.log)" >&2
  exit 1
fi
if ! checked=$(cd "$here" && "$root/build/tools/tools/scenario_check" "$given"); then
  exit 2
fi
mode=${checked#mode=}
mode=${mode%% *}
length=${checked##*length=}

if [ "$runs_32bit" = yes ]; then
  preset=win32
  echo "run: building the 32-bit binaries (preset win32)"
else
  preset=win64
  echo "run: ${runs_32bit#no: }: the main job runs on the 64-bit build (Pimbrella and the 64-bit controls in a 64-bit prefix)"
  echo "run: building the 64-bit binaries (preset win64)"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

build=$root/build/$preset
pimbrella=$build/testprogram/Pimbrella.exe
prefix=$root/build/run/wineprefix-$preset
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine_run() { "$root/tools/wine-run.sh" "$prefix" "$preset" "$@"; }

# Every Wine program of the prefix must see one display (the prefix's desktop
# lives on it), so the display is settled before the first one runs.
live=
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  live=1
else
  state=$root/build/run/xvfb
  "$root/tools/xvfb.sh" start "$state"
  trap '"$root/tools/xvfb.sh" stop "$state"' EXIT
  DISPLAY=$(cat "$state.display")
  export DISPLAY
fi
wine_run --shutdown # a wineserver left from an earlier run may hold another display

# The controls of the build, test libraries aside.
mapfile -t controls < <(find "$build" -path '*/wineprefix*' -prune -o -path '*/tests' -prune \
  -o -name '*.ocx' -print | sort)
if [ ${#controls[@]} -eq 0 ]; then
  echo "run: the build holds no control library (.ocx)" >&2
  exit 1
fi
for ocx in "${controls[@]}"; do
  echo "run: registering $(basename "$ocx") in $prefix"
  wine_run regsvr32 /s "$(winpath "$ocx")" || { echo "run: regsvr32 failed for $ocx" >&2; exit 1; }
done

export NORVELLIX_SIMULATOR
NORVELLIX_SIMULATOR=$(winpath "$scenario")
echo "run: Pimbrella with the scenario $scenario"

if [ -n "$live" ]; then
  echo "run: the window shows on $DISPLAY; close it to end"
  wine_run "$pimbrella" || true
  wine_run --shutdown
  exit 0
fi

# No display: the private one, for as long as the scenario lasts and a few
# seconds more. On the virtual clock each of the control's timer ticks (10 ms at
# the least) moves one report on, 2 ms: such a scenario takes about five times
# as long as its times say.
seconds=$(awk -v s="$length" -v m="$mode" \
  'BEGIN { print m == "fast" ? int(s * 5) + 10 : int(s) + 6 }')
shot=$root/build/pimbrella.png
rm -f "$shot"

wine_run "$pimbrella" &
program=$!
echo "run: no display here: Pimbrella runs on a private X server ($DISPLAY) for ${seconds} s"
window=
for _ in $(seq 120); do
  window=$(xdotool search --name '^Pimbrella$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.5
done
if [ -z "$window" ]; then
  # A message box instead of the window: show what it says.
  import -window root "$shot" 2>/dev/null || true
  echo "run: Pimbrella showed no window; the screen is in $shot" >&2
  wine_run --shutdown
  exit 1
fi
sleep "$seconds"
import -window "$window" "$shot"
# Closed as a user closes it, so the control releases its devices.
wine_run taskkill /im Pimbrella.exe >/dev/null 2>&1 || true
for _ in $(seq 20); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.5
done
wine_run --shutdown
wait "$program" 2>/dev/null || true
echo "run: screenshot of the window after the scenario: $shot"
