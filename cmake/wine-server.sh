#!/bin/sh
# wine-server.sh start|stop PREFIX [--win32]
# start: makes the prefix ready (wine-prefix.sh), turns off window-manager management so hiding
# a window does not wait for a window manager, then keeps one wineserver alive for the whole
# test run (without it every Wine process waits for its own server to wind down).
# --win32: for the 32-bit tests. Where their Wine is the one in the i386 root filesystem, the
# prefix (a 32-bit one) and its server are made inside it; a prefix made by the other Wine is
# made anew.
set -eu
action=$1
prefix=$2
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=${PAIRLY_WINE_LOADER:-/usr/lib/wine/wine64}
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-server.sh: DISPLAY is not set; start Xvfb first (tools/test-all.sh does)" >&2
  exit 1
fi
route=""
if [ "${3:-}" = --win32 ] && [ -z "${PAIRLY_WINE_LOADER:-}" ]; then
  route=$(sh "$here/wine32-route.sh" --full 2>/dev/null) || route=""
  if [ "$route" = root ]; then
    exec sh "$here/i386-root.sh" run env PAIRLY_WINE_LOADER=/usr/lib/wine/wine \
      sh "$here/wine-server.sh" "$action" "$prefix"
  fi
fi
case $action in
  start)
    wineserver -k 2>/dev/null || true
    arch=win64
    [ "$wine" != /usr/lib/wine/wine ] || arch=win32
    if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx "#arch=$arch" "$WINEPREFIX/system.reg"; then
      rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    PAIRLY_WINE_LOADER=$wine sh "$here/wine-prefix.sh" "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/.pairly-ready" ]; then
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      touch "$WINEPREFIX/.pairly-ready"
    fi
    # A 64-bit prefix made while the machine's own 32-bit Wine could not run has no 32-bit
    # system files, and every 32-bit program in it fails to load kernel32.dll. Once that Wine
    # runs, fill them in (forcing wineboot's update, which otherwise thinks the prefix
    # current); once only.
    if [ "$route" = host ] && [ ! -f "$WINEPREFIX/.pairly-ready32" ]; then
      if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        rm -f "$WINEPREFIX/.update-timestamp"
        "$wine" wineboot -u </dev/null >/dev/null 2>&1
      fi
      touch "$WINEPREFIX/.pairly-ready32"
    fi
    # Let every process that making the prefix started end before the persistent server and the
    # tests start: on a new prefix under qemu's i386 emulation, the 32-bit tests of the
    # comma-decimal locales otherwise read a decimal point in their first run (and passed in
    # every later one).
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    # Start the prefix's background services now, detached from the caller's output:
    # started by the first test instead, they would hold that test's output pipe open.
    "$wine" wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
esac
