#!/bin/sh
# Builds the libFuzzer targets (the fuzz preset) and runs each for a bounded time, default 20
# seconds, over a scratch copy of its seed corpus in fuzz/corpus/ (the committed corpus never
# grows). Fails on any crash, sanitizer report, mismatch or hang; the input that caused it is
# saved in build/fuzz/artifacts/ and should go into the corpus once fixed. Prints, for each
# run, the inputs tried and how many a second.
#   sh tools/fuzz.sh [seconds per target]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
sh tools/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

work=build/fuzz/run
artifacts=build/fuzz/artifacts
rm -rf "$work"
mkdir -p "$work" "$artifacts"
failed=""

# fuzz TARGET NAME MAX_LEN SECONDS [OPTION...]: one bounded run over the scratch corpus
# $work/NAME, printing how many inputs it tried and how many a second, and what the target
# itself says of them at the end.
fuzz() {
  target=$1 name=$2 max_len=$3 time=$4
  shift 4
  log="$work/$name.log"
  if build/fuzz/fuzz/$target -max_total_time="$time" -max_len="$max_len" -timeout=30 "$@" \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    own=$(sed -n "s/^$target: //p" "$log")
    echo "$name: inputs up to $max_len bytes, $time s: $runs inputs, $rate a second${own:+ ($own)}"
  else
    tail -n 40 "$log"
    failed="$failed $name"
  fi
}

for target in fuzz_score fuzz_number_text fuzz_batch; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/$target/* "$work/$target/"
done

# The matcher is checked against the plain scan, which is cubic. Most of the time goes to
# short inputs, each checked against it with the default tuning and one other (kShortInput in
# fuzz_score.cpp); a bounded quarter to long ones, from the longer seeds and at any length up
# to 4 KiB from the start, each checked with every tuning: the plain scan checks the smaller
# ranges, the tunings one another the rest.
long=$((seconds / 4 > 0 ? seconds / 4 : 1))
mv "$work/fuzz_score" "$work/fuzz_score-short"
mkdir -p "$work/fuzz_score-long"
find fuzz/corpus/fuzz_score -type f -size +128c -exec cp {} "$work/fuzz_score-long/" \;
fuzz fuzz_score fuzz_score-short 128 $((seconds - long > 0 ? seconds - long : 1))
fuzz fuzz_score fuzz_score-long 4096 "$long" -len_control=0
fuzz fuzz_number_text fuzz_number_text 4096 "$seconds"
fuzz fuzz_batch fuzz_batch 4096 "$seconds"

if [ -n "$failed" ]; then
  echo "fuzz: failed:$failed (inputs in $artifacts/)"
  exit 1
fi
echo "fuzz: no failures"
