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

# fuzz TARGET NAME MAX_LEN SECONDS: one bounded run over the target's scratch corpus.
fuzz() {
  target=$1 name=$2 max_len=$3 time=$4
  log="$work/$name.log"
  if build/fuzz/fuzz/$target -max_total_time="$time" -max_len="$max_len" -timeout=30 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$name: inputs up to $max_len bytes, $time s: $runs inputs, $rate a second"
  else
    tail -n 40 "$log"
    failed="$failed $name"
  fi
}

for target in fuzz_score fuzz_number_text fuzz_batch; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/$target/* "$work/$target/"
done

# The matcher is checked against the plain scan, which is cubic: most of the time goes to
# short inputs, checked against it thousands of times a second; a bounded quarter to inputs
# up to 4 KiB, where the plain scan checks the smaller ranges and the matcher's ways of
# counting check one another on the rest.
long=$((seconds / 4 > 0 ? seconds / 4 : 1))
fuzz fuzz_score fuzz_score-short 128 $((seconds - long > 0 ? seconds - long : 1))
fuzz fuzz_score fuzz_score-long 4096 "$long"
fuzz fuzz_number_text fuzz_number_text 4096 "$seconds"
fuzz fuzz_batch fuzz_batch 4096 "$seconds"

if [ -n "$failed" ]; then
  echo "fuzz: failed:$failed (inputs in $artifacts/)"
  exit 1
fi
echo "fuzz: no failures"
