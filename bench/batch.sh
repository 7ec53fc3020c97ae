#!/bin/sh
# Builds pairly-score natively (with its allocation-counting copy) and for 64-bit Windows, and
# measures the batch mode on ordinary names (bench/batch_bench.py): the table is printed and
# left in build/native/bench/batch.md.
#   bench/batch.sh [runs per figure, default 5] [an older pairly-score to compare outputs with]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
out=build/native/bench
cmake --preset native >/dev/null
cmake --build --preset native --target pairly-score batch_allocations >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target pairly-score >/dev/null
mkdir -p "$out/batch"
/usr/bin/python3 bench/batch_bench.py build/native/pairly-score build/native/batch_allocations \
  build/win64/pairly-score.exe "$out/batch" --runs "$runs" ${2:+--reference "$2"} > "$out/batch.md"
cat "$out/batch.md"
