#!/usr/bin/env bash
# The whole test suite: set-up, then each preset built with warnings as errors
# and tested (native with sanitizers; tsan: the threads' tests under
# ThreadSanitizer; win32 and win64 under Wine), then the fuzz targets built with
# clang and run briefly (tools/fuzz.sh; skipped without clang).
# Usage: tools/test-all.sh [preset...]   (default: native tsan win32 win64 fuzz)
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh || { echo "test-all: set-up failed" >&2; exit 1; }

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native tsan win32 win64 fuzz)

failed=()
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
echo "all presets passed"
