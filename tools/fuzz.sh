#!/usr/bin/env bash
# The fuzz targets (fuzz/): the fuzz preset built with clang (warnings as errors),
# the seed corpora written, and each target run for a fixed time over its seeds
# and the inputs that once failed (fuzz/regressions/<target>/). Any finding (a
# crash, a sanitizer report, a failed property, a leak, a hang) fails the run; its
# input is kept in build/fuzz/findings/.
#   tools/fuzz.sh [-t SECONDS] [-j PARALLEL] [-k] [TARGET...]
#     -t  seconds per target (default 20)     -j  targets at once (default 3)
#     -k  keep the corpus grown by earlier runs (build/fuzz/corpus/<target>)
# Without a clang that has libFuzzer the run is skipped (exit 0) with a note.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=20 parallel=3 keep=0
while getopts "t:j:k" opt; do
  case "$opt" in
    t) seconds=$OPTARG ;;
    j) parallel=$OPTARG ;;
    k) keep=1 ;;
    *) echo "usage: tools/fuzz.sh [-t SECONDS] [-j PARALLEL] [-k] [TARGET...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(viewer_load scenario wav crm_line_decoder component_line_decoder crm_control)

# The longest input each target takes: a recording with its typed lines, a
# scenario of some dozens of lines, a WAV file of a burst, a capture.
declare -A max_len=(
  [viewer_load]=65536 [scenario]=2048 [wav]=16384
  [crm_line_decoder]=1795 [component_line_decoder]=4882 [crm_control]=512
)
# Targets whose inputs are scripts of events: libFuzzer's length control would hold
# them near their seeds' lengths, so every length up to max_len is open at once.
declare -A len_control=([scenario]=0 [crm_control]=0)

if ! command -v clang++ >/dev/null ||
   ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
     clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  echo "fuzz: skipped (no clang with libFuzzer; tools/setup.sh installs it)"
  exit 0
fi

build=build/fuzz
mkdir -p build
echo "=== fuzz: configure and build"
if ! cmake --preset fuzz -DNORVELLIX_WERROR=ON >build/fuzz-build.log 2>&1 ||
   ! cmake --build --preset fuzz >>build/fuzz-build.log 2>&1; then
  tail -n 60 build/fuzz-build.log
  echo "fuzz: build failed"
  exit 1
fi
rm -f build/fuzz-build.log
seeds=$build/fuzz/seeds
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds" >/dev/null || { echo "fuzz: the seeds could not be made"; exit 1; }
mkdir -p "$build/logs" "$build/findings"

run_target() {
  local t=$1 corpus=$build/corpus/$1 log=$build/logs/$1.log
  [ "$keep" -eq 1 ] || rm -rf "$corpus"
  mkdir -p "$corpus"
  rm -f "$build/findings/$t"-*
  local dirs=("$corpus" "$seeds/$t")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
  "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="${max_len[$t]:-4096}" ${len_control[$t]:+-len_control=${len_control[$t]}} \
    -print_final_stats=1 \
    -artifact_prefix="$build/findings/$t-" "${dirs[@]}" >"$log" 2>&1
  echo $? >"$build/logs/$t.rc"
}

# Runs the targets, at most $parallel at once, then reports each.
for t in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/${t}_fuzz" ]; then
    echo "fuzz: no target $t" >&2
    exit 2
  fi
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
  rm -f "$build/logs/$t.rc"
  run_target "$t" &
done
wait

failed=()
for t in "${targets[@]}"; do
  rc=$(cat "$build/logs/$t.rc" 2>/dev/null || echo 1)
  log=$build/logs/$t.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  found=$(ls "$build/findings/$t"-* 2>/dev/null)
  if [ "$rc" -ne 0 ] || [ -n "$found" ]; then
    failed+=("$t")
    echo "fuzz: $t FOUND a fault (exit $rc); log $log"
    grep -E "ERROR|fuzz property failed|SUMMARY" "$log" | head -n 5 | sed 's/^/    /'
    for f in $found; do echo "    input kept in $f; replay with $build/fuzz/${t}_fuzz $f"; done
  else
    echo "fuzz: $t ${runs:-?} runs in ${seconds} s, ${rate:-?} per second, nothing found"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}"
  exit 1
fi
echo "fuzz: every target held"
