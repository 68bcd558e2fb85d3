#!/usr/bin/env bash
# The set-up's try of whether this machine runs 32-bit programs (tools/runs-32bit.sh):
# a loader that the kernel refuses (a copy whose ELF header names a foreign machine,
# as a kernel without 32-bit emulation refuses an i386 one) gives "no" with the
# system's reason; so do a missing or failing loader and NORVELLIX_NO_32BIT=1; a
# program that starts gives "yes".
#   runs_32bit_test.sh SOURCE_DIR
set -uo pipefail
probe=$1/tools/runs-32bit.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect LABEL STATUS REASON [env...] -- [LOADER]: the probe's exit status and output.
expect() {
  local label=$1 want_rc=$2 want_out=$3
  shift 3
  local env=()
  while [ "$1" != -- ]; do env+=("$1"); shift; done
  shift
  local out rc
  out=$(env -u NORVELLIX_NO_32BIT "${env[@]}" bash "$probe" "$@")
  rc=$?
  if [ "$rc" -ne "$want_rc" ] || [ "$out" != "$want_out" ]; then
    echo "FAIL $label: expected status $want_rc and '$want_out', got $rc and '$out'"
    failures=$((failures + 1))
  fi
}

# A 64-bit ELF program of this machine, and a copy with e_machine (bytes 18-19)
# set to SPARC's 2.
cp /bin/true "$work/runs"
cp /bin/true "$work/foreign"
printf '\002\000' | dd of="$work/foreign" bs=1 seek=18 conv=notrunc status=none
# A loader prints its version; a broken one fails without a word.
printf '#!/bin/sh\necho wine-8.0\n' >"$work/loader"
printf '#!/bin/sh\nexit 3\n' >"$work/fails"
chmod +x "$work/loader" "$work/fails"

expect "a loader that starts" 0 "" -- "$work/loader"
expect "a foreign machine's program" 1 \
  "this machine runs no 32-bit programs ($work/foreign: Exec format error)" -- "$work/foreign"
expect "a program of this machine" 0 "" -- "$work/runs"
expect "a loader that fails" 1 \
  "this machine runs no 32-bit programs ($work/fails: exit status 3)" -- "$work/fails"
expect "no loader" 1 "this machine runs no 32-bit programs ($work/none is not installed)" \
  -- "$work/none"
expect "the switch" 1 "this machine runs no 32-bit programs (NORVELLIX_NO_32BIT is set)" \
  NORVELLIX_NO_32BIT=1 -- "$work/loader"
expect "the switch off" 0 "" NORVELLIX_NO_32BIT=0 -- "$work/loader"

[ "$failures" -eq 0 ] || exit 1
echo "runs-32bit.sh: all cases as expected"
