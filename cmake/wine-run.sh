#!/bin/sh
# wine-run.sh [--win32] PROGRAM [ARGS...]
# Runs a Windows program under Wine in the prefix named by PAIRLY_WINEPREFIX (the tests set it
# to their build tree's own prefix; see wine-server.sh), with standard input, output, error and
# the exit status passed through. --win32: a 32-bit program, run by whichever 32-bit Wine is
# set up (wine32-route.sh): the machine's own, or the one in the i386 root filesystem; where
# neither runs, says why and exits 77, which the 32-bit tests declare as "skipped".
here=$(dirname "$0")
loader=/usr/lib/wine/wine64
route=""
if [ "${1:-}" = --win32 ]; then
  shift
  loader=/usr/lib/wine/wine
  if ! route=$(sh "$here/wine32-route.sh"); then
    echo "skipped: $route" >&2
    exit 77
  fi
fi
export WINEPREFIX="${PAIRLY_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$route" = root ]; then
  exec sh "$here/i386-root.sh" run "$loader" "$@"
fi
exec "$loader" "$@"
