#!/bin/sh
# Time 1,000 control runs of one day (86,400 s each) through `testnuv-study analyze
# --controls 1000` on every core, less the same analysis without controls.
# Usage: bench/analyze_controls.sh [controls]   (default 1000)
set -eu
cd "$(dirname "$0")/.."
controls="${1:-1000}"
. bench/study_data.inc
make_study_data 7654321 86400
/usr/bin/python3 - "$study" "$tmp" "$controls" <<'PY'
import os, resource, subprocess, sys, time
study, tmp, controls = sys.argv[1:4]
def cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime
def run(extra, out):
    start, used = time.monotonic(), cpu()
    subprocess.run([study, 'analyze', '--quiet', tmp + '/data', '--out', tmp + '/' + out,
                    '--event', '2026-01-01 12:00:00/2026-01-01 13:00:00/evento', *extra], check=True)
    return time.monotonic() - start, cpu() - used
base, base_cpu = run([], 'base')
with_controls, controls_cpu = run(['--controls', controls], 'controls')
print(f'analyze_controls: {controls} controls of one day on {os.cpu_count()} cores: '
      f'{with_controls - base:.2f} s wall, {controls_cpu - base_cpu:.2f} s CPU (whole run {with_controls:.2f} s); '
      f'load average {os.getloadavg()[0]:.1f}')
PY
