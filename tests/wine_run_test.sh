#!/bin/sh
# How a Windows program runs under Wine for the tests: from its build tree, and from copies in
# a temporary folder and in the home folder, what it reads comes from standard input, and a
# failing run's exit status and standard error come back.
#   sh tests/wine_run_test.sh PAIRLY_SCORE_EXE RUNNER [RUNNER ARGS...]
set -u
program=$1
shift
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pairly-wine-run.XXXXXX")
home_copy=$(mktemp -d "$HOME/.pairly-wine-run.XXXXXX")
trap 'rm -rf "$scratch" "$home_copy"' EXIT
cp "$program" "$scratch/"
cp "$program" "$home_copy/"
name=${program##*/}

failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    echo "ok - $1"
  else
    echo "not ok - $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

for copy in "$program" "$scratch/$name" "$home_copy/$name"; do
  out=$(printf 'ABC\tABD\nRAM\tSITA\n' | "$@" "$copy" --batch | tr -d '\r')
  check "$copy: reads standard input" "$(printf '1.66666666666667\t166%%\n0.714285714285714\t71%%')" "$out"
  status=0
  "$@" "$copy" "only one name" >"$scratch/out" 2>"$scratch/err" </dev/null || status=$?
  # The runner's own "cannot run it here": skipped, as the other Wine tests are.
  [ "$status" -ne 77 ] || { cat "$scratch/err"; exit 77; }
  check "$copy: a failing run's exit status" 2 "$status"
  check "$copy: its standard error" "usage: pairly-score" "$(head -n 1 "$scratch/err" | cut -c 1-19)"
  check "$copy: nothing on its standard output" "" "$(cat "$scratch/out")"
done
[ "$failures" -eq 0 ] || { echo "wine_run_test: $failures failed"; exit 1; }
