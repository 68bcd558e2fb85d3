#!/usr/bin/env bash
# Whether this machine runs 32-bit programs, found by a real try: the 32-bit Wine
# loader is started (it only prints its version). A kernel without 32-bit
# emulation refuses it with "Exec format error"; there only the 64-bit build can
# run under Wine. Exit 0 when it runs; otherwise exit 1 with the reason on stdout.
#   runs-32bit.sh [LOADER]     default: /usr/lib/wine/wine
# NORVELLIX_NO_32BIT=1 answers as such a machine would, without the try.
set -uo pipefail
loader=${1:-/usr/lib/wine/wine}

if [ -n "${NORVELLIX_NO_32BIT:-}" ] && [ "$NORVELLIX_NO_32BIT" != 0 ]; then
  echo "this machine runs no 32-bit programs (NORVELLIX_NO_32BIT is set)"
  exit 1
fi
if [ ! -x "$loader" ]; then
  echo "this machine runs no 32-bit programs ($loader is not installed)"
  exit 1
fi
# Started by a bash of its own: timeout alone would start it with execvp, which
# hands a file that the kernel refuses to /bin/sh instead of reporting it.
out=$(timeout 60 bash -c '"$0" --version' "$loader" 2>&1)
rc=$?
[ "$rc" -ne 0 ] || exit 0
# The shell's own words end with the system's reason ("...: Exec format error").
reason=$(printf '%s\n' "$out" | head -n 1)
reason=${reason##*: }
if [ "$rc" -eq 124 ]; then
  reason="no answer within 60 s"
elif [ -z "$reason" ]; then
  reason="exit status $rc"
fi
echo "this machine runs no 32-bit programs ($loader: $reason)"
exit 1
