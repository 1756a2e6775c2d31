#!/bin/sh
# CPU and memory of the live program: build/testnuv in full screen on a
# virtual X display (Xvfb 1024x768, no window manager) for 60 s.
# Prints the average share of one core (utime + stime from /proc/PID/stat,
# taken after a 3 s settling time) and the peak resident memory (VmHWM).
# Usage: bench/live_cpu.sh [seconds]   (BUILD=build by default)
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
program="$(pwd)/${BUILD:-build}/testnuv"
[ -x "$program" ] || { echo "live_cpu: $program not built" >&2; exit 1; }

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

# Start Xvfb on a free display of its own choosing and wait for its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  i=$((i + 1)); [ "$i" -le 200 ] || { echo "live_cpu: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
DISPLAY=":$(cat "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_RENDER_DRIVER 2>/dev/null || true

(cd "$work" && exec "$program") >/dev/null &
program_pid=$!
i=0
until xdotool search --onlyvisible --name DIDAVIR >/dev/null 2>&1; do
  i=$((i + 1)); [ "$i" -le 200 ] || { echo "live_cpu: no window" >&2; exit 1; }
  sleep 0.1
done
sleep 3

ticks() { awk '{print $14 + $15}' "/proc/$program_pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hwm=$(awk '/^VmHWM/ {print $2, $3}' "/proc/$program_pid/status")

kill -TERM "$program_pid"
code=0
wait "$program_pid" || code=$?
program_pid=""

awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "live_cpu: %.2f%% of one core over %d s (%d ticks at %d Hz)\n", t * 100 / (hz * s), s, t, hz }'
echo "live_cpu: peak resident memory (VmHWM) $hwm"
echo "live_cpu: exit code after SIGTERM $code"
