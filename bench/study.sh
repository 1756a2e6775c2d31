#!/bin/sh
# Study data: the seed search over every seed, the simulator with and without its
# data folder, and extract and verify of a day and a week.
# Prints wall and CPU seconds and peak memory (GNU time); figures, never pass or fail.
set -eu
cd "$(dirname "$0")/.."
SIM=build/testnuv-sim
STUDY=build/testnuv-study
[ -x "$SIM" ] && [ -x "$STUDY" ] || { echo "build first: make build" >&2; exit 1; }
TIME=/usr/bin/time
[ -x "$TIME" ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
log=estudio_05-01-2026

# Run a command; print its wall and CPU seconds and peak memory under a label.
measure() {
  label=$1
  shift
  "$TIME" -f "%e %U %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
    status=$?
    [ "$status" -le 5 ] || { cat "$work/err" >&2; exit 1; }  # 3 to 5: several seeds, none, a damaged record
  }
  read -r wall user kb <"$work/time"
  printf '%-44s wall %6.2f s  cpu %6.2f s  peak %7d KiB\n' "$label" "$wall" "$user" "$kb"
}

# 1. Seed search over all 2^31 seeds from a log of five 5-minute records, no provenance record.
mkdir "$work/seed"
(cd "$work/seed" && "$OLDPWD/$SIM" --seed 1732584193 --start "2026-05-01 10:00:00" --seconds 1500 >/dev/null)
rm "$work/seed/$log.json"
measure "seed, whole range, 5 records" "$STUDY" seed "$work/seed/$log"
# The same search when a window may miss (six records or more), with the first record damaged.
mkdir "$work/damaged"
(cd "$work/damaged" && "$OLDPWD/$SIM" --seed 1732584193 --start "2026-05-01 10:00:00" --seconds 3600 >/dev/null)
rm "$work/damaged/$log.json"
sed -i '1s/9\(\r\?\)$/8\1/;t;1s/[0-8]\(\r\?\)$/9\1/' "$work/damaged/$log"
measure "seed, whole range, 12 records, one damaged" "$STUDY" seed "$work/damaged/$log"

# 2. The simulator with and without its data folder, then extract of a day and of a week
#    (memory must not grow with the run's length).
for seconds in 86402 604800; do
  dir="$work/run$seconds"
  mkdir "$dir"
  measure "simulator, $seconds s" "$SIM" --seed 20260501 --start "2026-05-01 10:00:00" \
    --seconds "$seconds" --dir "$dir"
  mkdir "$dir/sim"
  measure "simulator --data, $seconds s" "$SIM" --seed 20260501 --start "2026-05-01 10:00:00" \
    --seconds "$seconds" --dir "$dir/sim" --data "$dir/sim-data"
  measure "extract, $seconds s" "$STUDY" extract "$dir/$log" --out "$dir/data"
  measure "extract --bits, $seconds s" "$STUDY" extract "$dir/$log" --out "$dir/data-bits" --bits
  measure "verify folder, $seconds s" "$STUDY" verify "$dir/data-bits"
done
