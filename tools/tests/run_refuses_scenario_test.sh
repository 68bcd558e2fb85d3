#!/usr/bin/env bash
# tools/run.sh with a scenario that the stand-in refuses stops at once: before any
# Windows build, Wine prefix or window, with the stand-in's own refusal
# "<file>:<line>: <reason>" (the file named as it was given) and exit status 2.
# NORVELLIX_NO_32BIT=1, so the way that it does not take is the 64-bit one. The
# shipped scenarios pass the same check.
#   run_refuses_scenario_test.sh SOURCE_DIR SCENARIO_CHECK
set -uo pipefail
src=$1 check=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $1"
  failures=$((failures + 1))
}

for f in "$src"/scenarios/*.scn; do
  out=$("$check" "$f" 2>&1)
  [ $? -eq 0 ] || fail "$(basename "$f"): expected it accepted, got: $out"
  [[ "$out" =~ ^mode=(fast|real-time)\ length=[0-9]+\.[0-9]{3}$ ]] \
    || fail "$(basename "$f"): expected \"mode=... length=...\", got: $out"
done

# name, text, the refusal expected (its reason as the stand-in words it).
cases=(
  "unknown.scn|device A\nwhistle 2 A 1\n|unknown.scn:2: unknown statement \"whistle\""
  "late.scn|mode fast\ndevice A\n\ncall soon A 1 number=5551234\n|late.scn:4: time \"soon\" is not a number"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name text want <<<"$c"
  printf "$text" >"$work/$name"
  (cd "$work" && NORVELLIX_NO_32BIT=1 "$src/tools/run.sh" "$name") >"$work/out" 2>"$work/err"
  rc=$?
  [ "$rc" -eq 2 ] || fail "$name: expected exit status 2, got $rc"
  last=$(tail -n 1 "$work/err")
  [ "$last" = "$want" ] || fail "$name: expected the refusal '$want', got '$last'"
  if grep -E '^run: (building|registering|Pimbrella|no display)' "$work/out" "$work/err"; then
    fail "$name: expected nothing built or started after the refusal"
  fi
done

[ "$failures" -eq 0 ] || {
  echo "--- the last run's output:"
  cat "$work/out" "$work/err"
  exit 1
}
echo "run.sh: each refused scenario stopped the job with its refusal"
