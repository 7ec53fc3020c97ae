#!/bin/sh
# Builds everything and runs every test: the install script's decisions, native (GoogleTest,
# then again under AddressSanitizer and UndefinedBehaviorSanitizer), the 64-bit and the 32-bit
# Windows builds under Wine, the pictures, a bounded fuzzing run (about a minute) and a check
# that two release builds are byte-identical.
# 32-bit Wine is installed in a step of its own: the machine's own where it installs, else from
# an i386 Debian root filesystem, with qemu's i386 emulation where the kernel runs no 32-bit
# programs. One line says which; where it cannot be had by any route, one line says why and the
# 32-bit build runs its executable checks only. A build that fails fails its preset's tests; the run
# goes on and ends with the summary line either way.
set -eu
cd "$(dirname "$0")/.."
if ! sh tools/install-deps.sh; then
  echo "test-all: nothing built: the packages the tests need are not installed (see above)"
  exit 1
fi
win32_full=""
if win32_note=$(sh tools/install-deps.sh 32-bit); then
  win32_full=1
fi

failed=""
passed=0
failures=0
fail() {
  failures=$((failures + 1))
  failed="$failed\n  $*"
}
run() {
  echo "== $*"
  if "$@"; then
    passed=$((passed + 1))
  else
    fail "$*"
  fi
}

built=" "
for preset in native native-sanitize win64 win32; do
  echo "== build $preset"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
    built="$built$preset "
  else
    fail "build $preset: cmake --build --preset $preset"
  fi
done
built() {
  case $built in
    *" $1 "*) ;;
    *)
      echo "== $1: not built, so its tests did not run"
      return 1 ;;
  esac
}

run sh tests/install/install_deps_test.sh
built native && run ctest --preset native
built native-sanitize && run ctest --preset native-sanitize
built win64 && run sh tools/with-display.sh ctest --preset win64
if built win32; then
  if [ -n "$win32_full" ]; then
    echo "== win32: $win32_note"
    run sh tools/with-display.sh ctest --preset win32
  else
    echo "== win32: executable checks only: $win32_note"
    run ctest --preset win32 -L executable
  fi
fi
# Each build's scorer against the native one, byte for byte, on long names.
set -- build/native/pairly-score
for preset in win64 win32; do
  built "$preset" >/dev/null || continue
  flag=""
  if [ "$preset" = win32 ]; then
    [ -n "$win32_full" ] || continue
    flag=--win32
  fi
  set -- "$@" -- env "PAIRLY_WINEPREFIX=$PWD/build/$preset/wineprefix" sh cmake/wine-run.sh $flag \
    "build/$preset/pairly-score.exe"
done
built native && run /usr/bin/python3 tests/same_results.py "$@"
run /usr/bin/python3 tests/art/test_art.py
run sh tools/fuzz.sh 20
run sh tools/check-reproducible.sh

[ -z "$failed" ] || printf 'Failed:%b\n' "$failed"
summary="suites: $passed passed, $failures failed"
[ -n "$win32_full" ] || summary="$summary; win32: executable checks only ($win32_note)"
echo "$summary"
[ "$failures" -eq 0 ]
