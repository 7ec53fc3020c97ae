#!/bin/sh
# screenshot.sh: renders the windows as a user sees them into docs/screenshot.png (Form1
# after a calculation) and docs/splash.png (the splash window), on a private Xvfb display, in
# the tests' Wine prefix (which has Wine's own fonts, the caption buttons' symbols among them).
# Needs: xvfb, imagemagick, wine64 (tools/install-deps.sh); builds win64 first.
set -eu
cd "$(dirname "$0")/.."
if [ "${1:-}" != --on-display ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target pairly-calc pairly_drive
  exec sh tools/with-display.sh --own sh tools/screenshot.sh --on-display
fi
prefix="$PWD/build/win64/wineprefix"
export PAIRLY_WINEPREFIX="$prefix"
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  cmake/wine-server.sh stop "$prefix" || true
}
trap cleanup EXIT
cmake/wine-server.sh start "$prefix"
mkdir -p docs
shoot() {  # shoot OUT "x y w h"
  set -- "$1" $2
  import -window root "$1.full.png"
  convert "$1.full.png" -crop "${4}x${5}+${2}+${3}" +repage "$1"
  rm -f "$1.full.png"
}
cmake/wine-run.sh build/win64/pairly-calc.exe &
app=$!
rect=$(cmake/wine-run.sh build/win64/tools/screenshot/pairly_drive.exe calculate JOHN JANE | tr -d '\r')
shoot docs/screenshot.png "$rect"
rect=$(cmake/wine-run.sh build/win64/tools/screenshot/pairly_drive.exe splash | tr -d '\r')
shoot docs/splash.png "$rect"
cmake/wine-run.sh build/win64/tools/screenshot/pairly_drive.exe exit >/dev/null
wait "$app" 2>/dev/null || true
app=
echo "wrote docs/screenshot.png docs/splash.png"
