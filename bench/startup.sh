#!/bin/sh
# Start-up of the 64-bit program under Wine against a bare Win32 window with two controls, plain
# and with the program's manifest (themed controls): builds pairly-calc.exe, both bare windows
# and startup_bench.exe with the win64 preset, then runs startup_bench on a display (a private
# Xvfb unless DISPLAY is set) with a wineserver of its own prefix (build/win64/bench-wineprefix).
# Prints each time, the medians and the program's ratio to each; also left in
# build/win64/startup.md.
#   bench/startup.sh [rounds, default 11]
set -eu
cd "$(dirname "$0")/.."
out=build/win64
if [ "${1:-}" != --on-display ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target pairly-calc startup_bare_window \
  startup_bare_window_themed startup_bench >/dev/null
  exec sh tools/with-display.sh sh "$0" --on-display "${1:-11}"
fi
rounds=$2
prefix=$PWD/$out/bench-wineprefix
windows_path() { printf 'Z:%s' "$PWD/$1" | tr / '\\'; }
sh cmake/wine-server.sh start "$prefix"
trap 'sh cmake/wine-server.sh stop "$prefix"' EXIT
PAIRLY_WINEPREFIX=$prefix sh cmake/wine-run.sh "$out/startup_bench.exe" \
  "$(windows_path "$out/pairly-calc.exe")" "$(windows_path "$out/startup_bare_window.exe")" \
  "$(windows_path "$out/startup_bare_window_themed.exe")" "$rounds" | tr -d '\r' | tee "$out/startup.md"
