#!/bin/sh
# CPU and memory of the live program: build/testnuv in full screen on a
# virtual X display (Xvfb 1024x768, no window manager) for 60 s.
# Prints the average share of one core (utime + stime from /proc/PID/stat,
# taken after a 3 s settling time), the share of each thread (the program's
# own thread has the process's id; the busiest other one is the presentation
# thread) and the peak resident memory (VmHWM).
# Usage: bench/live_cpu.sh [seconds]   (BUILD=build by default)
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
program="$(pwd)/${BUILD:-build}/testnuv"
[ -x "$program" ] || { echo "live_cpu: $program not built" >&2; exit 1; }

bench=live_cpu
. bench/xvfb.inc
start_xvfb

(cd "$work" && exec "$program") >/dev/null &
program_pid=$!
wait_for 20 xdotool search --onlyvisible --name DIDAVIR || { echo "live_cpu: no window" >&2; exit 1; }
sleep 3

hz=$(getconf CLK_TCK)
thread_ticks() { for t in /proc/"$program_pid"/task/*; do echo "${t##*/} $(cpu_ticks "$program_pid/task/${t##*/}")"; done | sort; }
before=$(cpu_ticks "$program_pid")
thread_ticks >"$work/threads.before"
sleep "$seconds"
after=$(cpu_ticks "$program_pid")
thread_ticks >"$work/threads.after"
hwm=$(peak_memory "$program_pid")

main_thread=$program_pid
kill -TERM "$program_pid"
code=0
wait "$program_pid" || code=$?
program_pid=""

awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "live_cpu: %.2f%% of one core over %d s (%d ticks at %d Hz)\n", t * 100 / (hz * s), s, t, hz }'
join "$work/threads.before" "$work/threads.after" |
  awk -v hz="$hz" -v s="$seconds" -v main="$main_thread" \
    '{ printf "live_cpu:   thread %s%s: %.2f%%\n", $1, ($1 == main ? " (program)" : ""), ($3 - $2) * 100 / (hz * s) }'
echo "live_cpu: peak resident memory (VmHWM) $hwm"
echo "live_cpu: exit code after SIGTERM $code"
