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

bench=live_pacing
. bench/xvfb.inc
start_xvfb

(cd "$work" && exec "$program") >"$work/report" &
program_pid=$!
sleep "$seconds"
kill -TERM "$program_pid"
code=0
wait "$program_pid" || code=$?
program_pid=""
sed 's/^/live_pacing: /' "$work/report"
echo "live_pacing: exit code after SIGTERM $code"
