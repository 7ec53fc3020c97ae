#!/bin/sh
# run.sh: builds the 64-bit program and starts PAIRLY Calc under Wine on your display.
# Installs only what that needs (tools/install-deps.sh run). It runs in a Wine prefix of its
# own (build/win64/run-prefix, made on first start), so the window manager handles it as
# usual; the tests' prefix turns that off for speed.
set -eu
cd "$(dirname "$0")/.."
: "${DISPLAY:?run.sh: DISPLAY is not set}"
sh tools/install-deps.sh run
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target pairly-calc
export PAIRLY_WINEPREFIX="$PWD/build/win64/run-prefix"
sh cmake/wine-prefix.sh "$PAIRLY_WINEPREFIX"
exec cmake/wine-run.sh build/win64/pairly-calc.exe
