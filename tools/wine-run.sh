#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, creating the prefix on
# first use.  Usage:
#   wine-run.sh PREFIX ARCH program.exe [args...]   run a program
#   wine-run.sh PREFIX ARCH --prepare               create the prefix only
#   wine-run.sh PREFIX ARCH --shutdown              stop this prefix's wineserver
# ARCH is win32 or win64.  Only this prefix's wineserver is ever touched.
# Without a display of the prefix's own (PREFIX.xvfb.display) DISPLAY is kept.
set -euo pipefail
prefix=$1 arch=$2
shift 2

# The loader of the prefix's own width, started directly and named in WINELOADER,
# which Wine passes on to every process started inside it. Debian's "wine" script
# starts the 32-bit loader first whenever wine32 is installed, even for a 64-bit
# program, and plain "wine cscript.exe" would be the 32-bit one from syswow64; on
# a machine that runs no 32-bit programs that first start fails.
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run.sh: ARCH is win32 or win64, not '$arch'" >&2; exit 2 ;;
esac
export WINELOADER=$loader
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all}
# The prefix's own X server, when tools/xvfb.sh runs one for it (the tests do):
# all programs of a prefix must share one display.
if [ -s "$prefix.xvfb.display" ]; then
  DISPLAY=$(cat "$prefix.xvfb.display")
  export DISPLAY
fi
# No Mono or Gecko installer is offered when a prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

prepare() {
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$loader" wineboot.exe -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Wine's own fonts (Debian's fonts-wine: Tahoma, MS Sans Serif, the system
  # fonts) lie in its data folder, from which Debian's Wine 8 loads none (seen
  # with WINEDEBUG=+font: only fontconfig's fonts and the prefix's Fonts folder
  # are read). Linked into that folder, windows draw Tahoma with Wine's Tahoma
  # instead of a wider substitute.
  local fonts=$prefix/drive_c/windows/Fonts f
  for f in /usr/share/wine/fonts/*; do
    if [ -d "$fonts" ] && [ -f "$f" ] && [ ! -e "$fonts/${f##*/}" ]; then
      ln -s "$f" "$fonts/"
    fi
  done
  # Cambria is not installed here; Caladea has its metrics, so windows laid
  # out for Cambria keep their proportions.
  if [ ! -f "$prefix/.cambria" ] && fc-list 2>/dev/null | grep -q Caladea; then
    "$loader" reg.exe add 'HKCU\Software\Wine\Fonts\Replacements' /v Cambria /d Caladea /f >/dev/null 2>&1 \
      && touch "$prefix/.cambria"
  fi
  flock -u 9
}

case "${1:-}" in
  --prepare) prepare ;;
  --shutdown) if [ -d "$prefix" ]; then wineserver -k 2>/dev/null || true; fi ;;
  "") echo "wine-run.sh: no program given" >&2; exit 2 ;;
  *) prepare; exec "$loader" "$@" ;;
esac
