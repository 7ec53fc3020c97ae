#!/bin/sh
# Runs a command with an X display: the caller's if DISPLAY is set, else a private Xvfb
# that is stopped when the command ends.
set -eu
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
display=:$(( 90 + $$ % 900 ))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT INT TERM
for _ in $(seq 50); do
  DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
DISPLAY=$display "$@"
