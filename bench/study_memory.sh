#!/bin/sh
# The study tool's peak memory on inputs of any size: 200 MB of line ends, a 200 MB line,
# and a long real log (DAYS days of the simulator, 30 by default; 365 for a year, which
# takes minutes to simulate). Prints wall seconds and peak memory (GNU time); figures,
# never pass or fail.
# Usage: bench/study_memory.sh [DAYS]
set -eu
cd "$(dirname "$0")/.."
SIM=build/testnuv-sim
STUDY=build/testnuv-study
[ -x "$SIM" ] && [ -x "$STUDY" ] || { echo "build first: make build" >&2; exit 1; }
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }
days=${1:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Run a command; print its status, wall seconds and peak memory under a label.
measure() {
  label=$1
  shift
  status=0
  "$TIME" -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || status=$?
  # GNU time puts "Command exited with non-zero status N" before the figures.
  tail -n 1 "$work/time" >"$work/figures"
  read -r wall kb <"$work/figures"
  printf '%-40s status %d  wall %6.2f s  peak %7d KiB\n' "$label" "$status" "$wall" "$kb"
}

head -c 200000000 /dev/zero | tr '\0' '\n' >"$work/lf"
measure "seed, 200 MB of LF" "$STUDY" seed "$work/lf"
head -c 200000000 /dev/zero | tr '\0' 'a' >"$work/aaa"
measure "seed, one line of 200 MB" "$STUDY" seed "$work/aaa"
rm "$work/lf" "$work/aaa"

seconds=$((days * 86400))
mkdir "$work/run"
"$SIM" --seed 20260501 --start "2026-05-01 10:00:00" --seconds "$seconds" --dir "$work/run" >/dev/null
log=$work/run/estudio_05-01-2026
echo "log of $days days: $(stat -c %s "$log") bytes"
measure "verify, $days days" "$STUDY" verify "$log"
measure "extract, $days days" "$STUDY" extract "$log" --out "$work/datos"
