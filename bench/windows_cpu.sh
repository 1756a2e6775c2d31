#!/bin/sh
# CPU and memory of testnuv.exe under Wine on a virtual X display, per
# back-end: "DirectX" in a window (1024x768x24), "DirectX" full screen
# (800x600x16) and "GDI" (ddraw disabled, 1024x768x24). For each, after a
# 3 s settling time, prints the share of one core used by the whole process
# (Wine's own threads included, such as wined3d's command stream, which does
# the DirectDraw work in software on a machine without a GPU) and the peak
# resident memory (VmHWM).
# Usage: bench/windows_cpu.sh [seconds]   (EXE=build-windows/testnuv.exe by default)
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-20}"
exe="$(pwd)/${EXE:-build-windows/testnuv.exe}"
command -v wine >/dev/null 2>&1 || { echo "windows_cpu: wine is not installed, skipped"; exit 0; }
[ -f "$exe" ] || { echo "windows_cpu: $exe not built (make windows), skipped"; exit 0; }

work="$(mktemp -d)"
xvfb_pid=""
runner_pid=""
cleanup() {
  [ -n "$runner_pid" ] && kill "$runner_pid" 2>/dev/null || true
  [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Wait until a command succeeds, polling every 0.2 s, for at most $1 seconds.
wait_for() {
  limit=$(( $1 * 5 )); shift
  i=0
  until "$@" >/dev/null 2>&1; do
    i=$((i + 1)); [ "$i" -le "$limit" ] || return 1
    sleep 0.2
  done
}

# Start Xvfb with a screen of $1, returning when its display number is known.
start_xvfb() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  wait_for 20 test -s "$work/display" || { echo "windows_cpu: Xvfb did not start" >&2; exit 1; }
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
}

stop_xvfb() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_xvfb 1024x768x24
timeout 300 wine wineboot -i >/dev/null 2>&1
wineserver -w
cp "$exe" "$work/testnuv.exe"
hz=$(getconf CLK_TCK)

# Measure one back-end: name, screen, extra DLL overrides.
measure() {
  name=$1 screen=$2 overrides=$3
  stop_xvfb
  start_xvfb "$screen"
  (cd "$work" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES$overrides" exec wine ./testnuv.exe) >/dev/null 2>&1 &
  runner_pid=$!
  wait_for 60 xdotool search --name DIDAVIR || { echo "windows_cpu: $name: no window" >&2; exit 1; }
  sleep 3
  pid=$(pgrep -P "$runner_pid" | head -n1)
  [ -n "$pid" ] || pid=$runner_pid
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  hwm=$(awk '/^VmHWM/ {print $2, $3}' "/proc/$pid/status")
  xdotool key space
  wait "$runner_pid" 2>/dev/null || true
  runner_pid=""
  awk -v n="$name" -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v mem="$hwm" \
    'BEGIN { printf "windows_cpu: %-15s %6.2f%% of one core over %d s; peak memory %s\n",
                    n, t * 100 / (hz * s), s, mem }'
}

measure "DirectX window" 1024x768x24 ""
measure "DirectX full" 800x600x16 ""
measure "GDI window" 1024x768x24 ";ddraw=d"
