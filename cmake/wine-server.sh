#!/bin/sh
# wine-server.sh start|stop PREFIX
# start: makes the prefix ready (wine-prefix.sh), turns off window-manager management so hiding
# a window does not wait for a window manager, then keeps one wineserver alive for the whole
# test run (without it every Wine process waits for its own server to wind down).
set -eu
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-server.sh: DISPLAY is not set; start Xvfb first (tools/test-all.sh does)" >&2
  exit 1
fi
case $action in
  start)
    mkdir -p "$WINEPREFIX"
    wineserver -k 2>/dev/null || true
    sh "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/.pairly-ready" ]; then
      /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      touch "$WINEPREFIX/.pairly-ready"
    fi
    # A prefix made while 32-bit Wine could not run has no 32-bit system files, and every
    # 32-bit program in it fails to load kernel32.dll. Once 32-bit Wine runs, fill them in
    # (forcing wineboot's update, which otherwise thinks the prefix current); once only.
    if [ ! -f "$WINEPREFIX/.pairly-ready32" ] && sh "$(dirname "$0")/wine32-check.sh" >/dev/null; then
      if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        rm -f "$WINEPREFIX/.update-timestamp"
        /usr/lib/wine/wine64 wineboot -u </dev/null >/dev/null 2>&1
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
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
esac
