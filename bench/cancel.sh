#!/bin/sh
# How soon a long score stops once cancelled: builds cancel_latency natively and with the win64
# preset and runs both (the 64-bit one under Wine, on a display and with a wineserver of its
# own prefix, as bench/startup.sh does), on random runs of A and B and on the deep recursion.
# Prints the tables; also left in build/native/cancel.md and build/win64/cancel.md.
#   bench/cancel.sh [characters per name, default 4000000] [cancels per run, default 9]
set -eu
cd "$(dirname "$0")/.."
if [ "${1:-}" != --on-display ]; then
  size=${1:-4000000}
  points=${2:-9}
  cmake --preset native >/dev/null
  cmake --build --preset native --target cancel_latency >/dev/null
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target cancel_latency >/dev/null
  echo "## Native"
  echo
  for family in runs deep; do
    build/native/cancel_latency --size "$size" --points "$points" --family $family
    echo
  done | tee build/native/cancel.md
  exec sh tools/with-display.sh sh "$0" --on-display "$size" "$points"
fi
prefix=$PWD/build/win64/bench-wineprefix
sh cmake/wine-server.sh start "$prefix"
trap 'sh cmake/wine-server.sh stop "$prefix"' EXIT
echo "## 64-bit Windows build under Wine"
echo
for family in runs deep; do
  PAIRLY_WINEPREFIX=$prefix sh cmake/wine-run.sh build/win64/cancel_latency.exe --size "$2" \
    --points "$3" --family $family | tr -d '\r'
  echo
done | tee build/win64/cancel.md
