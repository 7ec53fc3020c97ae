#!/bin/sh
# Runs a command with an X display: the caller's if DISPLAY is set, else a private Xvfb that is
# stopped when the command ends. With --own, always a private Xvfb (for pictures of the screen,
# which must not show the caller's desktop).
#   sh tools/with-display.sh [--own] COMMAND [ARGS...]
set -eu
if [ "${1:-}" = --own ]; then
  shift
elif [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/pairly-display.XXXXXX")
# Xvfb takes the first free display number and writes it to descriptor 3 once it accepts
# connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/log" 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null && wait $xvfb_pid; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
display=""
for _ in $(seq 100); do
  number=$(cat "$work/display" 2>/dev/null || true)
  if [ -n "$number" ] && DISPLAY=:$number xdpyinfo >/dev/null 2>&1; then
    display=:$number
    break
  fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "with-display.sh: Xvfb did not start: $(tail -n 1 "$work/log")" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "with-display.sh: Xvfb did not answer within 10 s" >&2
  exit 1
fi
DISPLAY=$display "$@"
