#!/bin/sh
# Measure the report page of one year of data (31,536,000 s): its size, and how long
# headless Chromium takes to open it and draw its four plots (from the start of the
# page's loading to the plots drawn, and the browser's whole run). The data folder is
# replayed from a seed by the test fixture make_data_folder (not timed); `sim` makes
# the year with testnuv-sim instead (minutes more, about 3 GB of disk).
# Goals: the page under 3 MB, open with its plots in under 5 s.
# Usage: bench/report_page.sh [replay|sim]
set -eu
cd "$(dirname "$0")/.."
. bench/study_data.inc
case "${1:-replay}" in
  replay) make_study_data 8128 31536000 ;;
  sim)
    cmake --build --preset release -j2 --target testnuv-sim >/dev/null
    (cd "$tmp" && TZ=Europe/Madrid "$OLDPWD/build/testnuv-sim" --seconds 31536000 --seed 8128 \
       --start "2026-01-01 00:00:00" --data "$tmp/data" >/dev/null) ;;
  *) echo "usage: bench/report_page.sh [replay|sim]" >&2; exit 2 ;;
esac
"$study" analyze --quiet "$tmp/data" --out "$tmp/out"
/usr/bin/python3 - "$tmp" <<'PY'
import os, re, shutil, subprocess, sys, tempfile, time
tmp = sys.argv[1]
page = os.path.join(tmp, 'out', 'report.html')
size = os.path.getsize(page)
with open(page, encoding='utf-8') as stream:
    html = stream.read()
# The moment the last plot is drawn, written into the page by a script after the report's own.
timed = os.path.join(tmp, 'out', 'timed.html')
with open(timed, 'w', encoding='utf-8') as stream:
    stream.write(html.replace('</body>', '<script>document.body.setAttribute("data-drawn-ms", '
                              'String(performance.now()));</script></body>'))
profile = tempfile.mkdtemp(dir=tmp)
start = time.monotonic()
result = subprocess.run(['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                         '--window-size=1400,900', '--user-data-dir=' + profile, '--dump-dom', 'file://' + timed],
                        capture_output=True, text=True, timeout=120)
whole = time.monotonic() - start
body = re.search(r'<body[^>]*>', result.stdout).group(0)
drawn = re.search(r'data-plots-drawn="(\d)"', body)
in_page = float(re.search(r'data-drawn-ms="([\d.]+)"', body).group(1)) / 1000
print(f'report page of a year: {size / 1e6:.2f} MB (goal < 3 MB); plots drawn: {drawn.group(1) if drawn else 0}; '
      f'open to plots drawn {in_page:.2f} s, Chromium run {whole:.2f} s (goal < 5 s)')
PY
