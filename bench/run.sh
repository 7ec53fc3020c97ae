#!/bin/sh
# Builds and runs the match-count benchmark natively, then difflib on the same inputs, and
# prints the table (also left in build/native/bench/table.md); then the growth table at 1, 3
# and 10 million characters per side (build/native/bench/growth.md).
#   bench/run.sh [difflib time cap per input, seconds; default 10] [growth runs per size; 3]
set -eu
cd "$(dirname "$0")/.."
cap=${1:-10}
repeat=${2:-3}
out=build/native/bench
cmake --preset native >/dev/null
cmake --build --preset native --target fast_matcher_bench matcher_growth >/dev/null
mkdir -p "$out/inputs"
build/native/fast_matcher_bench --benchmark_min_time=0.2 \
  --benchmark_out="$out/results.json" --benchmark_out_format=json >&2
build/native/fast_matcher_bench --write-inputs "$out/inputs"
/usr/bin/python3 bench/difflib_compare.py --results "$out/results.json" --inputs "$out/inputs" \
  --cap "$cap" > "$out/table.md"
cat "$out/table.md"
echo
build/native/matcher_growth --repeat "$repeat" > "$out/growth.md"
cat "$out/growth.md"
