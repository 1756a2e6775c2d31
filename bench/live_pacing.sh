#!/bin/sh
# Pacing of the live program: live_pacing (the real start-up and loop with
# the SDL back-end, on a clock that records every timer reading) runs in full
# screen on a virtual X display for 120 s, then is stopped with SIGTERM and
# prints how late each second started after its whole timer second and how
# many seconds were skipped.
# Usage: bench/live_pacing.sh [seconds]   (BUILD=build by default)
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-120}"
program="$(pwd)/${BUILD:-build}/bench/live_pacing"
[ -x "$program" ] || { echo "live_pacing: $program not built" >&2; exit 1; }

work="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  i=$((i + 1)); [ "$i" -le 200 ] || { echo "live_pacing: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=":$(cat "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_RENDER_DRIVER 2>/dev/null || true

(cd "$work" && exec "$program") >"$work/report" &
program_pid=$!
sleep "$seconds"
kill -TERM "$program_pid"
code=0
wait "$program_pid" || code=$?
program_pid=""
sed 's/^/live_pacing: /' "$work/report"
echo "live_pacing: exit code after SIGTERM $code"
