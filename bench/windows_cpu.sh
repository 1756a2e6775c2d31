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

bench=windows_cpu
. bench/xvfb.inc
bench_cleanup() {
  [ -d "$work/prefix" ] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
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
  program_pid=$!
  wait_for 60 xdotool search --name DIDAVIR || { echo "windows_cpu: $name: no window" >&2; exit 1; }
  sleep 3
  pid=$(pgrep -P "$program_pid" | head -n1)
  [ -n "$pid" ] || pid=$program_pid
  before=$(cpu_ticks "$pid")
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  hwm=$(peak_memory "$pid")
  xdotool key space
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
  awk -v n="$name" -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v mem="$hwm" \
    'BEGIN { printf "windows_cpu: %-15s %6.2f%% of one core over %d s; peak memory %s\n",
                    n, t * 100 / (hz * s), s, mem }'
}

measure "DirectX window" 1024x768x24 ""
measure "DirectX full" 800x600x16 ""
measure "GDI window" 1024x768x24 ";ddraw=d"
