"""The report page at every scale, in headless Chromium, on simulator runs.

Usage: report_layout_e2e.py CASE TESTNUV_STUDY TESTNUV_SIM WORKDIR
  layout  a day and a two-day run skewed to six- and seven-digit deviations, at 390 and 1400 px,
          in Spanish and English: no axis label cut or wrong, nothing wider than the page outside
          a box that scrolls, every plot drawn, no console message
  names   folders named __proto__ and like an envelope, an event's label on the page
  short   299 seconds: no complete window, a sentence instead of an empty plot
  print   the page printed to A4 PDF: plots and tables within the paper
  year    a year made by the simulator (slow: about half an hour and 3 GB of disk)
Run with Debian's /usr/bin/python3.
"""
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

CASE, STUDY, SIM, WORK = sys.argv[1:5]
HERE = os.path.dirname(os.path.abspath(__file__))


def fail(message):
    print('FAIL: ' + message)
    sys.exit(1)


def sim_folder(name, seed, seconds, start='2026-03-01 10:00:00'):
    """Run the simulator and extract its study log into the data folder WORK/name."""
    run = os.path.join(WORK, 'run-' + str(seed))
    os.makedirs(run)
    subprocess.run([SIM, '--seconds', str(seconds), '--seed', str(seed), '--start', start, '--dir', run],
                   check=True, capture_output=True)
    log = [f for f in os.listdir(run) if re.fullmatch(r'estudio_\d\d-\d\d-\d{4}', f)][0]
    path = os.path.join(WORK, name)
    subprocess.run([STUDY, 'extract', os.path.join(run, log), '--seed', str(seed), '--out', path],
                   check=True, capture_output=True)
    shutil.rmtree(run)
    return path


def skew(folder, extra):
    """Give every second `extra` more ones (at most 200), and the checksums that go with it."""
    import hashlib
    name = os.path.join(folder, 'seconds.csv')
    with open(name) as stream:
        lines = stream.read().splitlines()
    header = lines[0].split(',')
    ones_at, zeros_at, z_at = header.index('ones'), header.index('zeros'), header.index('z')
    out = [lines[0]]
    for line in lines[1:]:
        fields = line.split(',')
        ones = min(200, int(fields[ones_at]) + extra)
        fields[ones_at], fields[zeros_at] = str(ones), str(200 - ones)
        fields[z_at] = '%.6f' % ((ones - 100) / math.sqrt(50.0))
        out.append(','.join(fields))
    with open(name, 'w') as stream:
        stream.write('\n'.join(out) + '\n')
    sums = os.path.join(folder, 'SHA256SUMS')
    with open(sums) as stream:
        entries = stream.read().splitlines()
    with open(name, 'rb') as stream:
        digest = hashlib.sha256(stream.read()).hexdigest()
    entries = [digest + line[64:] if line.endswith('seconds.csv') else line for line in entries]
    with open(sums, 'w') as stream:
        stream.write('\n'.join(entries) + '\n')
    return folder


def analyze(out, *arguments):
    result = subprocess.run([STUDY, 'analyze', '--quiet', *arguments, '--out', out], capture_output=True, text=True)
    if result.returncode != 0:
        fail('analyze %s: %s' % (' '.join(arguments), result.stderr))
    with open(os.path.join(out, 'summary.json')) as stream:
        return json.load(stream)


def chromium(page, width, *extra):
    profile = tempfile.mkdtemp(prefix='chromium-', dir=WORK)
    command = ['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--hide-scrollbars',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--user-data-dir=' + profile, '--enable-logging=stderr', '--v=0', '--window-size=%d,900' % width,
               *extra, 'file://' + page]
    result = subprocess.run(command, capture_output=True, text=True, timeout=300)
    shutil.rmtree(profile, ignore_errors=True)
    return result


def check_layout(out, width, plots=4):
    """Open the report in a frame `width` px wide with the checking script added; return the texts of its
    legends, event keys and empty plots."""
    with open(os.path.join(out, 'report.html'), encoding='utf-8') as stream:
        page = stream.read()
    with open(os.path.join(HERE, 'layout_check.js'), encoding='utf-8') as stream:
        check = stream.read()
    page = page.replace('</body>', '<script>window.addEventListener("load", function () { setTimeout(function () {\n' +
                        check + '\n}, 0); });</script>\n</body>')
    checked = os.path.join(out, 'checked.html')
    with open(checked, 'w', encoding='utf-8') as stream:
        stream.write(page)
    # A frame, since a headless window is never narrower than 500 px.
    holder = os.path.join(out, 'frame-%d.html' % width)
    with open(holder, 'w', encoding='utf-8') as stream:
        stream.write('<!DOCTYPE html><html><body style="margin:0">'
                     '<iframe src="checked.html" style="border:0;width:%dpx;height:900px"></iframe>'
                     '<script>window.addEventListener("message", function (m) { var p = document.createElement("pre");'
                     ' p.id = "found"; p.textContent = m.data; document.body.appendChild(p); });</script>'
                     '</body></html>' % width)
    result = chromium(holder, width + 100, '--virtual-time-budget=15000', '--dump-dom')
    where = '%s at %d px' % (out, width)
    console = [line for line in result.stderr.splitlines() if 'CONSOLE' in line]
    if console:
        fail(where + ': console messages: ' + '\n'.join(console))
    found = re.search(r'<pre id="found">(.*?)</pre>', result.stdout, re.S)
    if found is None:
        fail(where + ': the checking script did not run: ' + result.stderr[-2000:])
    report = json.loads(found.group(1).replace('&nbsp;', '\u00a0').replace('&quot;', '"').replace('&lt;', '<').replace('&gt;', '>')
                        .replace('&amp;', '&'))
    if report['width'] != width:
        fail(where + ': the frame is %d px wide' % report['width'])
    if report['errors'] or report['drawn'] != str(plots):
        fail(where + ': %s plots drawn, errors: %s' % (report['drawn'], report['errors']))
    if report['problems']:
        fail(where + ':\n  ' + '\n  '.join(report['problems'][:20]))
    if report['graphs'] != plots or report['labels'] < 4 * plots:
        fail(where + ': %d charts, %d axis labels' % (report['graphs'], report['labels']))
    return '\n'.join(report['shown'])


def run_layout():
    day = sim_folder('dia', 20261, 86400)
    out = os.path.join(WORK, 'out-day')
    analyze(out, day, '--event', '2026-03-01 12:00:00/2026-03-01 13:00:00/meditación')
    for width in (390, 1400):
        shown = check_layout(out, width)
    if 'meditación (1\u00a0mar\u00a02026, 12:00:00 – 1\u00a0mar\u00a02026, 13:00:00)' not in shown:
        fail('the event is not named by its plot: ' + shown)
    out_en = os.path.join(WORK, 'out-day-en')
    analyze(out_en, day, '--lang', 'en')
    check_layout(out_en, 1400)
    # Two days, every second one more 1 (six digits), then twenty more (seven digits).
    for extra, digits in ((1, 6), (20, 7)):
        folder = skew(sim_folder('sesgo-%d' % extra, 3000 + extra, 2 * 86400), extra)
        out = os.path.join(WORK, 'out-skew-%d' % extra)
        summary = analyze(out, folder)
        deviation = summary['ones'] - 100 * summary['seconds']
        if len(str(deviation)) != digits:
            fail('skewed by %d: a deviation of %d' % (extra, deviation))
        for width in (390, 1400):
            check_layout(out, width)


def run_names():
    # Each alone, so that its name is the series' whole label.
    proto = sim_folder('__proto__', 4242, 3600)
    envelope = sim_folder('+1,96σ', 4243, 3600, start='2026-03-01 10:30:00')
    for folder, width, name in ((proto, 390, '__proto__'), (envelope, 1400, '+1,96σ')):
        out = os.path.join(WORK, 'out-' + str(width))
        analyze(out, folder, '--event', '2026-03-01 10:40:00/2026-03-01 10:50:00/<b>evento</b>')
        shown = check_layout(out, width)
        for text in (name, '<b>evento</b>'):
            if text not in shown:
                fail('the page does not show ' + text + ': ' + shown)
        if name == '+1,96σ' and shown.count('+1,96σ') < 4:
            fail('the folder and the envelope are not both shown: ' + shown)


def run_short():
    folder = sim_folder('corta', 77, 299)
    out = os.path.join(WORK, 'out-short')
    analyze(out, folder)
    shown = check_layout(out, 390, plots=3)
    if 'Ninguna ventana completa de 5 minutos' not in shown:
        fail('no sentence instead of the empty window plot')


def run_print():
    folder = sim_folder('dia', 5150, 86400)
    out = os.path.join(WORK, 'out-print')
    analyze(out, folder, '--event', '2026-03-01 12:00:00/2026-03-01 13:00:00/meditación')
    pdf = os.path.join(WORK, 'report.pdf')
    chromium(os.path.join(out, 'report.html'), 1400, '--virtual-time-budget=10000', '--no-pdf-header-footer',
             '--print-to-pdf=' + pdf)
    if not os.path.isfile(pdf):
        fail('no PDF')
    info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True, check=True).stdout
    size = re.search(r'Page size:\s+([\d.]+) x ([\d.]+) pts', info)
    if size is None or abs(float(size.group(1)) - 595.3) > 2 or abs(float(size.group(2)) - 841.9) > 2:
        fail('not A4: ' + info)
    # Nothing reaches into the paper's margins: a plot or table cut at the edge would.
    prefix = os.path.join(WORK, 'page')
    subprocess.run(['pdftoppm', '-r', '50', '-gray', pdf, prefix], check=True)
    pages = sorted(f for f in os.listdir(WORK) if f.startswith('page') and f.endswith('.pgm'))
    if len(pages) < 3:
        fail('%d pages' % len(pages))
    margin = 16  # pixels at 50 dpi: 8 mm of the 12 mm margin
    for name in pages:
        with open(os.path.join(WORK, name), 'rb') as stream:
            raw = stream.read()
        header = re.match(rb'P5\s+(\d+)\s+(\d+)\s+(\d+)\s', raw)
        w, h = int(header.group(1)), int(header.group(2))
        pixels = raw[header.end():]
        for y in range(h):
            row = pixels[y * w:(y + 1) * w]
            if min(row[:margin]) < 200 or min(row[w - margin:]) < 200:
                fail('%s: something in the margin at row %d' % (name, y))
    # Each chart drawn at the printed width: a canvas wider than the text column is cut by its box.
    images = subprocess.run(['pdfimages', '-list', pdf], capture_output=True, text=True, check=True).stdout
    column = (210 - 2 * 12) / 25.4  # inches of A4 between the page's margins
    charts = 0
    for line in images.splitlines()[2:]:
        fields = line.split()
        if fields[2] == 'image':
            charts += 1
            if int(fields[3]) / int(fields[12]) > column + 0.01:
                fail('a chart %s px wide at %s ppi does not fit the column' % (fields[3], fields[12]))
    if charts < 4:
        fail('%d charts in the PDF' % charts)
    text = subprocess.run(['pdftotext', pdf, '-'], capture_output=True, text=True, check=True).stdout
    for words in ('Desviación acumulada', 'z de las ventanas', 'Unos por segundo', 'Varianza acumulada', 'Procedencia'):
        if words not in text:
            fail('the PDF lacks "%s"' % words)


def run_year():
    # The simulator's own data folder, in a zone with clock changes.
    folder = os.path.join(WORK, 'anio')
    subprocess.run([SIM, '--seconds', '31536000', '--seed', '8128', '--start', '2026-01-01 00:00:00',
                    '--dir', WORK, '--data', folder], check=True, capture_output=True,
                   env=dict(os.environ, TZ='Europe/Madrid'))
    out = os.path.join(WORK, 'out-year')
    analyze(out, folder)
    shutil.rmtree(folder)
    for width in (390, 1400):
        check_layout(out, width)


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
{'layout': run_layout, 'names': run_names, 'short': run_short, 'print': run_print, 'year': run_year}[CASE]()
print('ok')
