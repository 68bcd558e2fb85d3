#!/usr/bin/env bash
# The whole test suite: set-up, then each preset built with warnings as errors
# and tested (native with sanitizers; tsan: the threads' tests under
# ThreadSanitizer; win32 and win64 under Wine), then the fuzz targets built with
# clang and run briefly (tools/fuzz.sh; skipped without clang). On a machine that
# runs no 32-bit programs (the set-up tries; NORVELLIX_NO_32BIT=1 pretends) win32
# is built but not tested, which its summary line says; the run passes when all
# that could run passed.
# Usage: tools/test-all.sh [preset...]   (default: native tsan win32 win64 fuzz)
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh || { echo "test-all: set-up failed" >&2; exit 1; }
# The set-up's answer, read once for the whole run: where 32-bit programs do not
# run, the win32 preset is still built (warnings as errors) but its Wine tests
# cannot run, and the summary says so instead of a result.
no_32bit=
read -r runs_32bit <build/runs-32bit || runs_32bit="no: the set-up left no answer"
[ "$runs_32bit" = yes ] || no_32bit=${runs_32bit#no: }

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native tsan win32 win64 fuzz)

failed=()
untested=()
summary=()
for p in "${presets[@]}"; do
  mkdir -p build
  if [ "$p" = fuzz ]; then
    started=$SECONDS
    bash tools/fuzz.sh 2>&1 | tee build/fuzz.log
    rc=${PIPESTATUS[0]}
    last=$(tail -n 1 build/fuzz.log)
    summary+=("fuzz: ${last#fuzz: } ($((SECONDS - started)) s)")
    [ "$rc" -eq 0 ] || failed+=("fuzz")
    continue
  fi
  echo "=== $p: configure and build"
  if ! cmake --preset "$p" -DNORVELLIX_WERROR=ON >"build/$p-build.log" 2>&1 \
     || ! cmake --build --preset "$p" >>"build/$p-build.log" 2>&1; then
    tail -n 60 "build/$p-build.log"
    failed+=("$p (build)")
    summary+=("$p: build failed")
    continue
  fi
  rm -f "build/$p-build.log"
  if [ "$p" = win32 ] && [ -n "$no_32bit" ]; then
    echo "=== $p: Wine tests not run: $no_32bit"
    summary+=("$p: built; Wine tests not run: $no_32bit")
    untested+=("$p")
    continue
  fi
  echo "=== $p: tests"
  ctest --preset "$p" 2>&1 | tee "build/$p/ctest.log"
  rc=${PIPESTATUS[0]}
  summary+=("$p: $(grep -E 'tests passed|tests failed' "build/$p/ctest.log" | tail -n 1)")
  [ "$rc" -eq 0 ] || failed+=("$p")
done

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
if [ ${#untested[@]} -gt 0 ]; then
  echo "all that could run passed (not tested: ${untested[*]})"
else
  echo "all presets passed"
fi
