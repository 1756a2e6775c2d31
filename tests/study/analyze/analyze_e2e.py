"""End-to-end tests of `testnuv-study analyze`.

Usage: analyze_e2e.py CASE TESTNUV_STUDY MAKE_DATA_FOLDER WORKDIR TESTNUV_SIM
  scipy      every statistic against values computed here with SciPy and NumPy, to 1e-9
  bad_input  clear message, non-zero status, input folders untouched
  report     report.html in headless Chromium: every plot drawn, no console message
  xss        hostile labels and provenance texts run nothing in the page
Run with Debian's /usr/bin/python3 (it has SciPy).
"""
import csv
import hashlib
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from scipy import stats

CASE, STUDY, MAKE_FOLDER, WORK, SIM = sys.argv[1:6]
TOLERANCE = 1e-9
HOSTILE = '</script><img src=x onerror=alert(1)>'


def fail(message):
    print('FAIL: ' + message)
    sys.exit(1)


def make_folder(name, seed, seconds, start, offset=60, host='estacion', bits=False):
    path = os.path.join(WORK, name)
    command = [MAKE_FOLDER, path, str(seed), str(seconds), start, str(offset), host]
    if bits:
        command.append('--bits')
    subprocess.run(command, check=True)
    return path


def sim_folder(name, seed, seconds, start, bits=False):
    """Run the simulator, then extract its study log into a data folder (whole records only)."""
    run = os.path.join(WORK, name + '-run')
    os.makedirs(run)
    subprocess.run([SIM, '--seconds', str(seconds), '--seed', str(seed), '--start', start, '--dir', run],
                   check=True, capture_output=True)
    log = [f for f in os.listdir(run) if re.fullmatch(r'estudio_\d\d-\d\d-\d{4}', f)][0]
    path = os.path.join(WORK, name)
    command = [STUDY, 'extract', os.path.join(run, log), '--seed', str(seed), '--out', path]
    if bits:
        command.append('--bits')
    subprocess.run(command, check=True, capture_output=True)
    return path


def analyze(*arguments):
    result = subprocess.run([STUDY, 'analyze', '--quiet', *arguments], capture_output=True, text=True)
    return result.returncode, result.stderr


def close(name, got, want):
    if got is None or want is None or (isinstance(want, float) and math.isnan(want)):
        if not (got is None and (want is None or math.isnan(want))):
            fail(f'{name}: got {got}, want {want}')
        return
    if abs(got - want) > TOLERANCE * max(1.0, abs(want)):
        fail(f'{name}: got {got!r}, want {want!r}')


def read_ones(folder):
    with open(os.path.join(folder, 'seconds.csv'), newline='') as stream:
        rows = list(csv.DictReader(stream))
    return np.array([int(r['ones']) for r in rows], dtype=np.int64), [r['time'] for r in rows]


def expected_gof_bins(n):
    """Pool Binomial(200, 1/2) bins from each tail toward the middle to >= 5 expected."""
    expected = n * stats.binom.pmf(np.arange(201), 200, 0.5)

    def walk(order):
        bins, current = [], []
        for k in order:
            current.append(k)
            if expected[current].sum() >= 5:
                bins.append(current)
                current = []
        if current:
            if bins:
                bins[-1] = bins[-1] + current
            else:
                bins.append(current)
        return bins

    low, high = walk(range(0, 101)), walk(range(200, 100, -1))
    if expected[low[-1]].sum() < 5 or expected[high[-1]].sum() < 5:
        low[-1] = low[-1] + high.pop()
    return low + high[::-1], expected


def check_run(name, ones, got):
    n = len(ones)
    d = ones - 100
    z = d.sum() / math.sqrt(50 * n)
    close(f'{name} z', got['z'], z)
    close(f'{name} p', got['p'], 2 * stats.norm.sf(abs(z)))
    chi2 = float((d.astype(float) ** 2 / 50).sum())
    close(f'{name} chi2', got['chi2'], chi2)
    close(f'{name} chi2_p', got['chi2_p'], stats.chi2.sf(chi2, n))
    if got['chi2_df'] != n or got['seconds'] != n or got['ones'] != int(ones.sum()):
        fail(f'{name}: counts')
    bins, expected = expected_gof_bins(n)
    histogram = np.bincount(ones, minlength=201)
    observed = [histogram[b].sum() for b in bins]
    fit = stats.chisquare(observed, [expected[b].sum() for b in bins])
    close(f'{name} gof chi2', got['binomial_gof']['chi2'], fit.statistic)
    close(f'{name} gof p', got['binomial_gof']['p'], fit.pvalue)
    if got['binomial_gof']['df'] != len(bins) - 1:
        fail(f'{name} gof df {got["binomial_gof"]["df"]} != {len(bins) - 1}')
    zt = d / math.sqrt(50)
    centred = zt - zt.mean()
    lag1 = float((centred[:-1] * centred[1:]).sum() / (centred ** 2).sum())
    close(f'{name} lag1', got['lag1_autocorrelation'], lag1)
    close(f'{name} lag1 se', got['lag1_se'], 1 / math.sqrt(n))
    close(f'{name} lag1 p', got['lag1_p'], 2 * stats.norm.sf(abs(lag1) * math.sqrt(n)))


def benjamini_hochberg(p):
    p = np.asarray(p)
    order = np.argsort(p, kind='stable')
    ranked = p[order] * len(p) / np.arange(1, len(p) + 1)
    q = np.minimum.accumulate(ranked[::-1])[::-1]
    out = np.empty_like(q)
    out[order] = np.minimum(q, 1)
    return out


def check_windows(folders_ones, rows, widths):
    zs = {}
    for width in widths:
        mine = [r for r in rows if int(r['width']) == width]
        want = []
        for f, ones in enumerate(folders_ones):
            for k in range(len(ones) // width):
                part = ones[k * width:(k + 1) * width] - 100
                z = part.sum() / math.sqrt(50 * width)
                want.append((f + 1, k + 1, int(part.sum()) + 100 * width, z, 2 * stats.norm.sf(abs(z))))
        if len(mine) != len(want):
            fail(f'{width}: {len(mine)} windows, want {len(want)}')
        q = benjamini_hochberg([w[4] for w in want])
        for r, w, qq in zip(mine, want, q):
            if (int(r['folder']), int(r['index']), int(r['ones'])) != w[:3]:
                fail(f'window row {r} != {w}')
            if int(r['first_second']) != (w[1] - 1) * width + 1 or int(r['last_second']) != w[1] * width:
                fail(f'window seconds {r}')
            close(f'window {width}/{w[1]} z', float(r['z']), w[3])
            close(f'window {width}/{w[1]} p', float(r['p']), w[4])
            close(f'window {width}/{w[1]} bonferroni', float(r['p_bonferroni']), min(1.0, w[4] * len(want)))
            close(f'window {width}/{w[1]} q', float(r['q_bh']), qq)
        zs[width] = sum(w[3] for w in want) / math.sqrt(len(want)) if want else float('nan')
    return zs


def run_scipy():
    # Simulator runs extracted from their logs, and replays of lengths a log cannot give.
    cases = [(sim_folder, 2147480000, 3617, '2026-06-30 23:30:00', True),
             (sim_folder, 424242, 43206, '2026-03-01 10:00:00', False),
             (make_folder, 1, 901, '2026-01-01 00:00:00', False), (make_folder, 7, 86402, '2026-12-31 12:00:00', True)]
    for maker, seed, seconds, start, bits in cases:
        folder = maker(f'data-{seed}', seed, seconds, start, bits=bits)
        ones, times = read_ones(folder)
        first, last = times[10], times[min(len(times) - 1, 700)]
        out = os.path.join(WORK, f'out-{seed}')
        code, err = analyze(folder, '--out', out, '--window', '450', '--event', f'{first}/{last}/a',
                            '--event', f'{times[-5]}/{times[-1]}/b')
        if code != 0:
            fail(f'analyze {seed}: {code} {err}')
        with open(os.path.join(out, 'summary.json')) as stream:
            summary = json.load(stream)
        check_run(f'seed {seed}', ones, summary)
        check_run(f'seed {seed} folder', ones, summary['folders'][0])
        with open(os.path.join(out, 'windows.csv'), newline='') as stream:
            rows = list(csv.DictReader(stream))
        zs = check_windows([ones], rows, [300, 900, 450])
        close('stouffer 300', summary['stouffer_z_300'], zs[300])
        if not math.isnan(zs[900]):
            close('stouffer 900', summary['stouffer_z_900'], zs[900])
        event_z = []
        for event, (a, b) in zip(summary['events'], [(10, min(len(times) - 1, 700)), (len(times) - 5, len(times) - 1)]):
            part = ones[a:b + 1] - 100
            z = part.sum() / math.sqrt(50 * len(part))
            event_z.append(z)
            close('event z', event['z'], z)
            close('event p', event['p'], 2 * stats.norm.sf(abs(z)))
            if event['seconds'] != len(part):
                fail('event seconds')
        close('events stouffer', summary['events_stouffer']['z'], sum(event_z) / math.sqrt(2))
        if bits:
            raw = np.unpackbits(np.fromfile(os.path.join(folder, 'bits.bin'), dtype=np.uint8))
            n1, n = int(raw.sum()), len(raw)
            n0 = n - n1
            runs = 1 + int(np.count_nonzero(raw[1:] != raw[:-1]))
            mean = 2 * n1 * n0 / n + 1
            var = 2 * n1 * n0 * (2 * n1 * n0 - n) / (n * n * (n - 1))
            z = (runs - mean) / math.sqrt(var)
            got = summary['runs_test']
            if got['runs'] != runs or got['ones'] != n1:
                fail('runs test counts')
            close('runs z', got['z'], z)
            close('runs p', got['p'], 2 * stats.norm.sf(abs(z)))

    # Two stations an hour apart in local time, overlapping by half their run in UTC.
    a = make_folder('station-a', 99, 3600, '2026-03-01 10:00:00', offset=60)
    b = make_folder('station-b', 98, 3600, '2026-03-01 09:30:00', offset=0)
    out = os.path.join(WORK, 'out-stations')
    code, err = analyze(a, b, '--out', out)
    if code != 0:
        fail(f'analyze stations: {err}')
    with open(os.path.join(out, 'summary.json')) as stream:
        summary = json.load(stream)
    ones_a, ones_b = read_ones(a)[0], read_ones(b)[0]
    za, zb = (ones_a - 100) / math.sqrt(50), (ones_b - 100) / math.sqrt(50)
    # b's UTC seconds start 1800 s after a's.
    combined = np.concatenate([za[:1800], (za[1800:] + zb[:1800]) / math.sqrt(2), zb[1800:]])
    got = summary['combined']
    if got['seconds'] != 5400:
        fail(f'combined seconds {got["seconds"]}')
    close('combined z', got['z'], combined.sum() / math.sqrt(len(combined)))
    close('combined chi2', got['chi2'], float((combined ** 2).sum()))
    close('combined chi2 p', got['chi2_p'], stats.chi2.sf(float((combined ** 2).sum()), len(combined)))
    fz = [summary['folders'][0]['z'], summary['folders'][1]['z']]
    close('folders z', got['folders_z'], sum(fz) / math.sqrt(2))
    # The same combination over the folders' exact orbit p, each turned back into its z.
    oz = [math.copysign(stats.norm.isf(f['orbit_p'] / 2), z) for f, z in zip(summary['orbit']['folders'], fz)]
    close('orbit folders z', summary['orbit']['folders_combined']['z'], sum(oz) / math.sqrt(2))
    close('orbit folders p', summary['orbit']['folders_combined']['p'], 2 * stats.norm.sf(abs(sum(oz) / math.sqrt(2))))
    pooled = np.concatenate([ones_a, ones_b]) - 100
    close('pooled z', summary['z'], pooled.sum() / math.sqrt(50 * len(pooled)))


def tree_digest(path):
    digest = hashlib.sha256()
    for root, dirs, files in sorted(os.walk(path)):
        dirs.sort()
        for name in sorted(files):
            full = os.path.join(root, name)
            status = os.stat(full)
            digest.update(full.encode() + str((status.st_size, status.st_mtime_ns, status.st_mode)).encode())
            with open(full, 'rb') as stream:
                digest.update(stream.read())
    return digest.hexdigest()


def run_bad_input():
    good = make_folder('good', 5, 1800, '2026-03-01 10:00:00')
    broken = os.path.join(WORK, 'broken')
    shutil.copytree(good, broken)
    with open(os.path.join(broken, 'seconds.csv'), 'r+b') as stream:
        stream.seek(200)
        byte = stream.read(1)
        stream.seek(200)
        stream.write(b'9' if byte != b'9' else b'8')
    empty = os.path.join(WORK, 'empty')
    os.makedirs(empty, exist_ok=True)
    a_file = os.path.join(WORK, 'a-file')
    with open(a_file, 'w') as stream:
        stream.write('not a folder\n')
    before = {p: tree_digest(p) for p in (good, broken, empty)}
    out = os.path.join(WORK, 'out')
    cases = [
        ('not a data folder', [empty, '--out', out], 'no es una carpeta de datos'),
        ('a file', [a_file, '--out', out], 'no es una carpeta de datos'),
        ('failed checksums', [broken, '--out', out], 'sumas SHA-256'),
        ('event before the data', [good, '--out', out, '--event', '2026-03-01 09:00:00/2026-03-01 09:10:00/antes'],
         'fuera de los datos'),
        ('event past the data', [good, '--out', out, '--event', '2026-03-01 10:20:00/2026-03-01 10:40:00/tarde'],
         'fuera de los datos'),
        ('reversed event', [good, '--out', out, '--event', '2026-03-01 10:20:00/2026-03-01 10:10:00/x'],
         'fin va antes'),
        ('overlapping events', [good, '--out', out, '--event', '2026-03-01 10:00:00/2026-03-01 10:10:00/x',
                                '--event', '2026-03-01 10:05:00/2026-03-01 10:15:00/y'], 'se solapan'),
        ('bad event text', [good, '--out', out, '--event', '10:00/11:00/x'], 'AAAA-MM-DD'),
        ('unwritable out', [good, '--out', os.path.join(a_file, 'out')], 'no se puede crear la carpeta'),
        ('out is another data folder', [good, '--out', broken], 'nunca se escribe'),
        ('the same folder twice', [good, good + '/', '--out', out], 'dos veces'),
        ('a one-second window', [good, '--out', out, '--window', '1'], '--window'),
        ('out inside the data', [good, '--out', os.path.join(good, 'informe')], 'nunca se escribe'),
    ]
    for name, arguments, words in cases:
        code, err = analyze(*arguments)
        if code == 0 or words not in err:
            fail(f'{name}: status {code}, message {err!r}')
        # One first line under the program's one prefix, detail lines indented below it.
        lines = err.splitlines()
        if not lines[0].startswith('testnuv-study: ') or any(not line.startswith('  ') for line in lines[1:]):
            fail(f'{name}: message not in the program\'s form: {err!r}')
        if os.path.exists(out):
            fail(f'{name}: left an output folder')
    for path, digest in before.items():
        if tree_digest(path) != digest:
            fail(f'{path} changed')
    if not os.path.isfile(a_file):
        fail('the file given as a folder changed')
    code, err = analyze(good, '--out', out, '--events', os.path.join(WORK, 'missing.csv'))
    if code == 0 or 'no se puede leer' not in err:
        fail(f'missing events file: {code} {err!r}')


def chromium(page, *extra):
    profile = tempfile.mkdtemp(prefix='chromium-', dir=WORK)
    command = ['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--user-data-dir=' + profile, '--enable-logging=stderr', '--v=0', *extra, 'file://' + page]
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    shutil.rmtree(profile, ignore_errors=True)
    return result


def check_page(page):
    result = chromium(page, '--virtual-time-budget=5000', '--dump-dom')
    dom = result.stdout
    body = re.search(r'<body[^>]*>', dom)
    if body is None:
        fail('no page body from Chromium: ' + result.stderr[-2000:])
    if 'data-plots-drawn="4"' not in body.group(0) or 'data-errors' in body.group(0):
        fail('plots not all drawn: ' + body.group(0))
    for plot in ('plot-cumulative-deviation', 'plot-window-z', 'plot-histogram', 'plot-cumulative-variance'):
        block = re.search(r'id="' + plot + r'".*?</div>', dom, re.S)
        if block is None or '<canvas' not in dom[block.start():block.start() + 4000]:
            fail(f'{plot} has no canvas')
    console = [line for line in result.stderr.splitlines() if 'CONSOLE' in line]
    if console:
        fail('console messages: ' + '\n'.join(console))
    return dom


def run_report():
    a = make_folder('station-a', 1234, 86400, '2026-03-01 10:00:00', bits=True)
    b = make_folder('station-b', 4321, 43201, '2026-03-01 16:00:00')
    out = os.path.join(WORK, 'out')
    code, err = analyze(a, b, '--out', out, '--controls', '20', '--event',
                        '2026-03-01 12:00:00/2026-03-01 13:00:00/meditación', '--event',
                        '2026-03-02 02:00:00/2026-03-02 02:30:00/concierto')
    if code != 0:
        fail('analyze: ' + err)
    page = os.path.join(out, 'report.html')
    check_page(page)
    shot = os.path.join(WORK, 'report.png')
    chromium(page, '--window-size=1100,1900', '--hide-scrollbars', '--virtual-time-budget=5000',
             '--screenshot=' + shot)
    if not os.path.isfile(shot) or os.path.getsize(shot) < 10000:
        fail('no screenshot')
    code, err = analyze(a, '--out', os.path.join(WORK, 'out-en'), '--lang', 'en')
    if code != 0:
        fail('analyze --lang en: ' + err)
    dom = check_page(os.path.join(WORK, 'out-en', 'report.html'))
    if 'Study report' not in dom or 'lang="en"' not in dom:
        fail('English report')


def run_xss():
    folder = make_folder('d' + HOSTILE.replace('/', '_'), 77, 1800, '2026-03-01 10:00:00', host=HOSTILE)
    out = os.path.join(WORK, 'out')
    code, err = analyze(folder, '--out', out, '--event', f'2026-03-01 10:05:00/2026-03-01 10:10:00/{HOSTILE}',
                        '--event', '2026-03-01 10:15:00/2026-03-01 10:16:00/\u2028"&<!--')
    if code != 0:
        fail('analyze: ' + err)
    dom = check_page(os.path.join(out, 'report.html'))
    if re.search(r'<img', dom, re.I):
        fail('an <img> element made it into the page')
    if '&lt;/script&gt;&lt;img src=x onerror=alert(1)&gt;' not in dom:
        fail('the hostile label is not shown as text')


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
{'scipy': run_scipy, 'bad_input': run_bad_input, 'report': run_report, 'xss': run_xss}[CASE]()
print('ok')
