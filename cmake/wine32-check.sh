#!/bin/sh
# Succeeds silently where this machine can run 32-bit Windows programs under Wine; elsewhere
# prints one line saying why not and fails. 32-bit Wine is itself a 32-bit Linux program, and
# some kernels do not run those.
loader=/usr/lib/wine/wine
if [ ! -e "$loader" ]; then
  echo "32-bit Wine is not installed ($loader is missing; tools/install-deps.sh 32-bit installs it)"
  exit 1
fi
if ! output=$("$loader" --version 2>&1); then
  case $output in
    *"Exec format error"*)
      echo "this machine's kernel does not run 32-bit programs, so 32-bit Wine cannot start (Exec format error)" ;;
    *)
      echo "32-bit Wine does not start: $(printf '%s' "$output" | head -n 1)" ;;
  esac
  exit 1
fi
