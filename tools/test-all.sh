#!/bin/sh
# Builds everything and runs every test: native (GoogleTest, then again under AddressSanitizer
# and UndefinedBehaviorSanitizer), the 64-bit and the 32-bit Windows builds under Wine (the
# 32-bit one natively where this kernel runs 32-bit programs, else under qemu's i386 emulation;
# where neither can be had, one line says so and only its executable checks run), the
# generated pictures, a bounded fuzzing run (about a minute) and a check that two release
# builds are byte-identical.
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh

failed=""
passed=0
failures=0
run() {
  echo "== $*"
  if "$@"; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    failed="$failed\n  $*"
  fi
}

for preset in native native-sanitize win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

run ctest --preset native
run ctest --preset native-sanitize
run sh tools/with-display.sh ctest --preset win64
if win32_missing=$(sh cmake/wine32-check.sh); then
  run sh tools/with-display.sh ctest --preset win32
elif no_emulation=$(sh tools/emulate-i386.sh); then
  echo "== win32: $win32_missing; running the 32-bit suites under qemu's i386 emulation"
  run sh tools/with-display.sh ctest --preset win32
else
  echo "== win32: not run under Wine: $win32_missing, nor emulated: $no_emulation;" \
    "running its executable checks only"
  run ctest --preset win32 -L executable
fi
run /usr/bin/python3 tests/art/test_art.py
run sh tools/fuzz.sh 20
run sh tools/check-reproducible.sh

[ -z "$failed" ] || printf "Failed suites:$failed\n"
echo "suites: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
