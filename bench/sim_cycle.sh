#!/bin/sh
# Time one 12-hour cycle (43,201 seconds, every bit drawn on the picture) through
# build/testnuv-sim, several runs, and print the median wall time.
# Usage: bench/sim_cycle.sh [runs]   (default 5; TESTNUV_SIM=path picks another build)
set -eu
cd "$(dirname "$0")/.."
runs="${1:-5}"
sim="${TESTNUV_SIM:-build/testnuv-sim}"
if [ ! -x "$sim" ] && [ -z "${TESTNUV_SIM:-}" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2 --target testnuv-sim >/dev/null
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
  i=$((i + 1))
  line="$("$sim" --seconds 43201 --seed 1 --start "2026-01-01 00:00:00" --dir "$tmp" 2>/dev/null)"
  rm -f "$tmp"/estudio_*
  # "testnuv-sim: 43201 segundos simulados en 0.81 s reales: ..."
  secs="$(printf '%s\n' "$line" | sed -n 's/.* en \([0-9.]*\) s reales.*/\1/p')"
  echo "run $i: $secs s"
  echo "$secs" >>"$tmp/times"
done
median="$(sort -n "$tmp/times" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
echo "sim_cycle: 43201 s of experiment, median wall time $median s over $runs runs"
