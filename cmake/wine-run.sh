#!/bin/sh
# Runs a Windows program under 64-bit Wine in the prefix named by PAIRLY_WINEPREFIX
# (the tests set it to their build tree's own prefix; see wine-server.sh).
export WINEPREFIX="${PAIRLY_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
