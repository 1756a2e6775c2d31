#!/bin/sh
# A run longer than the generator's orbit: 10,737,500 s (about 124 days), 82 s past its 2^31
# draws. The bits past the orbit are its first bits again, byte for byte, and analyze keeps
# the run's distinct seconds only, says what it left out, and gives the whole run no orbit p.
# About 1 GB of disk and minutes of simulation: make test-slow.
# Usage: orbit_months.sh TESTNUV_SIM TESTNUV_STUDY
set -eu
sim=$1
study=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"
mkdir run
"$sim" --seed 4242 --seconds 10737500 --start "2026-01-01 00:00:00" --dir run --data datos >/dev/null
# Draw 2^31 is the top bit of byte 2^28; from there the bytes are the first ones again.
size=$(stat -c %s datos/bits.bin)
[ "$size" -eq $((10737500 * 25)) ] || { echo "bits.bin has $size bytes" >&2; exit 1; }
cmp -n $((size - 268435456)) datos/bits.bin datos/bits.bin 268435456 0
"$study" analyze datos --quiet --out informe
/usr/bin/python3 - <<'CHECK'
import json, sys
summary = json.load(open('informe/summary.json'))
orbit = summary['orbit']
left = orbit['left_out']
problems = []
if summary['seconds'] != 10737418:
    problems.append(f"seconds {summary['seconds']}")
if len(left) != 1 or left[0]['reason'] != 'repeat' or left[0]['seconds'] != 82 or left[0]['first_second'] != 10737419:
    problems.append(f'left_out {left}')
folder = orbit['folders'][0]
if not folder['repeats'] or folder['orbit_p'] is not None:
    problems.append(f'orbit folder {folder}')
if problems:
    sys.exit('; '.join(problems))
CHECK
