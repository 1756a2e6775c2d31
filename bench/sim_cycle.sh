#!/bin/sh
# Time one 12-hour cycle (43,201 seconds, every bit drawn on the picture) through
# build/testnuv-sim, several runs, and print the median wall time and the median
# processor time (user + system, to 10 ms). The study log is synced once, at
# the end; with --sync-every-record each of the cycle's 193 records is synced
# as it is written, and the difference from the processor time is then mostly
# waiting for the disk (little on an idle disk, much on a busy one, nothing
# when TMPDIR is a tmpfs, where the log is then written).
# Usage: bench/sim_cycle.sh [runs [simulator options...]]   (default 5 runs;
# TESTNUV_SIM=path picks another build)
set -eu
cd "$(dirname "$0")/.."
runs="${1:-5}"
[ "$#" -gt 0 ] && shift
sim="${TESTNUV_SIM:-build/testnuv-sim}"
if [ ! -x "$sim" ] && [ -z "${TESTNUV_SIM:-}" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j2 --target testnuv-sim >/dev/null
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# Print the processor seconds (user + system) that this shell's finished children have used so far.
# (times runs in this shell, not in a command substitution's subshell, which has no children yet.)
children_seconds() {
  times >"$tmp/times.now"
  awk 'NR == 2 { gsub(/s/, ""); split($1, u, "m"); split($2, s, "m"); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$tmp/times.now"
}
i=0
while [ "$i" -lt "$runs" ]; do
  i=$((i + 1))
  children_seconds >"$tmp/before"
  line="$("$sim" --seconds 43201 --seed 1 --start "2026-01-01 00:00:00" --dir "$tmp" "$@" 2>/dev/null)"
  children_seconds >"$tmp/after"
  cpu="$(awk 'NR == FNR { a = $1; next } { printf "%.2f", $1 - a }' "$tmp/before" "$tmp/after")"
  rm -f "$tmp"/estudio_*
  # "testnuv-sim: 43201 segundos simulados en 0.81 s reales: ..."
  secs="$(printf '%s\n' "$line" | sed -n 's/.* en \([0-9.]*\) s reales.*/\1/p')"
  echo "run $i: $secs s, processor $cpu s"
  echo "$secs" >>"$tmp/times"
  echo "$cpu" >>"$tmp/cpu"
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "sim_cycle: 43201 s of experiment, median wall time $(median "$tmp/times") s over $runs runs" \
  "(median processor time $(median "$tmp/cpu") s)"
