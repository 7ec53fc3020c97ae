#!/bin/sh
# run.sh: builds the 64-bit program and starts PAIRLY Calc under Wine on your display
# ($DISPLAY; a Wine prefix of the build tree's own, build/win64/wineprefix).
set -eu
cd "$(dirname "$0")/.."
: "${DISPLAY:?run.sh: DISPLAY is not set}"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target pairly-calc
export PAIRLY_WINEPREFIX="$PWD/build/win64/wineprefix"
if [ ! -f "$PAIRLY_WINEPREFIX/.pairly-ready" ]; then
  cmake/wine-server.sh start "$PAIRLY_WINEPREFIX"
fi
exec cmake/wine-run.sh build/win64/pairly-calc.exe
