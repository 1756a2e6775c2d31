#!/bin/sh
# Time `testnuv-study analyze` (statistics and report.html) over one week of data
# (604,800 s), or one year (31,536,000 s) when asked, and print its wall time and
# peak memory. The data folder is replayed from a seed by the test fixture
# make_data_folder, then analysed with one event; the making is not timed.
# Usage: bench/analyze.sh [week|year]   (default week; the year needs ~2 GB of disk)
set -eu
cd "$(dirname "$0")/.."
span="${1:-week}"
case "$span" in
  week) seconds=604800 ;;
  year) seconds=31536000 ;;
  *) echo "usage: bench/analyze.sh [week|year]" >&2; exit 2 ;;
esac
. bench/study_data.inc
make_study_data 1234567 "$seconds"
/usr/bin/python3 - "$study" "$tmp" "$span" "$seconds" <<'PY'
import resource, subprocess, sys, time
study, tmp, span, seconds = sys.argv[1:5]
start = time.monotonic()
subprocess.run([study, 'analyze', '--quiet', tmp + '/data', '--out', tmp + '/out',
                '--event', '2026-01-01 12:00:00/2026-01-01 13:00:00/evento'], check=True)
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f'analyze {span}: {seconds} s of data, wall time {wall:.2f} s (CPU {usage.ru_utime + usage.ru_stime:.2f} s), '
      f'peak memory {usage.ru_maxrss / 1024:.0f} MB')
PY
