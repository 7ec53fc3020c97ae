#!/bin/sh
# Builds the libFuzzer targets (the fuzz preset) and runs each for a bounded time, default 20
# seconds, over a scratch copy of its seed corpus in fuzz/corpus/ (the committed corpus never
# grows). Fails on any crash, sanitizer report, mismatch or hang; the input that caused it is
# saved in build/fuzz/artifacts/ and should go into the corpus once fixed.
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
for target in fuzz_score fuzz_number_text fuzz_batch; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/$target/* "$work/$target/"
  log="$work/$target.log"
  echo "== $target: $seconds s"
  # Inputs up to 4 KiB keep the cubic plain-scan oracle quick; a slow input is a finding too.
  if build/fuzz/fuzz/$target -max_total_time="$seconds" -max_len=4096 -timeout=30 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$target" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || true
  else
    tail -n 40 "$log"
    failed="$failed $target"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz: failed:$failed (inputs in $artifacts/)"
  exit 1
fi
echo "fuzz: no failures"
