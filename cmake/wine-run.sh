#!/bin/sh
# wine-run.sh [--win32] PROGRAM [ARGS...]
# Runs a Windows program under Wine in the prefix named by PAIRLY_WINEPREFIX (the tests set it
# to their build tree's own prefix; see wine-server.sh). --win32: a 32-bit program, run by the
# 32-bit loader; where this machine cannot run that, says why and exits 77, which the 32-bit
# tests declare as "skipped".
loader=/usr/lib/wine/wine64
if [ "${1:-}" = --win32 ]; then
  shift
  loader=/usr/lib/wine/wine
  if ! reason=$(sh "$(dirname "$0")/wine32-check.sh"); then
    echo "skipped: $reason" >&2
    exit 77
  fi
fi
export WINEPREFIX="${PAIRLY_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec "$loader" "$@"
