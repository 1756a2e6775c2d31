#!/usr/bin/env python3
"""End-to-end tests of the live program on a virtual X display.

Each case starts its own Xvfb (1024x768, 24 bits, no window manager) and the
program in a fresh temporary directory, drives it with xdotool, window
messages and signals, and checks the screen, the exit code and the study log.
Every process a case starts is ended by its process id when the case ends,
also when it fails or is interrupted.

Usage: e2e_live.py CASE --program PATH [--probe PATH]
Cases: picture, toggle, small, keys, close, signals, flood, display, streams, window, nodisplay,
logout, startloss, tworuns.
"""

import argparse
import ctypes
import json
import datetime
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1024, 768
PIC_W, PIC_H = 800, 600
CENTRED = ((SCREEN_W - PIC_W) // 2, (SCREEN_H - PIC_H) // 2)  # (112, 84)
TITLE = "DIDAVIR"
CAPTION = "DIDAVIR - Generador aleatorio 0/1 x 200 bits/sg. InvestigaciOn independiente"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
FLOODS = 4  # key floods sent at once, so the key queue overflows between two reads
# Every case runs in a folder named as a Spanish user's folders are, with a byte that is not
# UTF-8 besides (a Linux name may hold any byte), and starts the program by a path through it.
WORKDIR_PREFIX = "testnuv-e2e-año-€😀-" + os.fsdecode(b"\xf1") + "-"
LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")


class Failure(Exception):
    """A check that did not hold."""


def reset_stop_signals():
    """Give the child the default stop-signal actions, whatever the test runner ignores."""
    for s in STOP_SIGNALS:
        signal.signal(s, signal.SIG_DFL)


class Session:
    """The processes of one case: an Xvfb and the programs under test."""

    def __init__(self):
        self.processes = []
        self.display = None
        self.workdir = tempfile.mkdtemp(prefix=WORKDIR_PREFIX)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.workdir, ignore_errors=True)
        return False

    def spawn(self, argv, env=None, cwd=None, stdout=subprocess.PIPE):
        env = with_leak_suppressions(os.environ if env is None else env)
        err = open(os.path.join(self.workdir, f"stderr-{len(self.processes)}.txt"), "w+b")
        p = subprocess.Popen(argv, env=env, cwd=cwd or self.workdir, stdout=stdout,
                             stderr=err, preexec_fn=reset_stop_signals)
        p.stderr = err  # read back on failure
        self.processes.append(p)
        return p

    def start_xvfb(self, size=(SCREEN_W, SCREEN_H)):
        """Start Xvfb on a display number it picks itself; wait until it answers."""
        read_end, write_end = os.pipe()
        p = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                              f"{size[0]}x{size[1]}x24", "-nolisten", "tcp"],
                             pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        self.processes.append(p)
        os.close(write_end)
        number = read_line(read_end, deadline=time.monotonic() + 20)
        os.close(read_end)
        if not number:
            raise Failure("Xvfb did not start")
        self.display = ":" + number.strip()
        return self.display

    def x_env(self):
        """The environment of an X client on this session's display."""
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL_RENDER_DRIVER")}
        env["DISPLAY"] = self.display
        return env

    def x(self, *argv, input_bytes=None):
        """Run an X tool on the display; return its standard output."""
        r = subprocess.run(list(argv), env=self.x_env(), input=input_bytes,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if r.returncode != 0:
            raise Failure(f"{argv[0]} failed: {r.stderr.decode(errors='replace').strip()}")
        return r.stdout


def read_line(fd, deadline):
    """Read one line from a file descriptor before the deadline ('' when none came)."""
    data = b""
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        chunk = os.read(fd, 1)
        if not chunk:
            break
        data += chunk
    return data.decode(errors="replace")


def wait_window(session, program, name=TITLE, deadline_s=20):
    """Poll for the program's visible window; return its id."""
    deadline = time.monotonic() + deadline_s
    while time.monotonic() < deadline:
        if program.poll() is not None:
            raise Failure(f"the program ended before its window appeared (code {program.returncode}): "
                          f"{program.stdout.read().decode(errors='replace')}")
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                           env=session.x_env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ids = r.stdout.split()
        if ids:
            return int(ids[0])
        time.sleep(0.1)
    raise Failure("no window appeared within %d s" % deadline_s)


def geometry(session, window):
    """Return the window's (x, y, width, height) on the root window."""
    fields = {}
    for line in session.x("xwininfo", "-id", str(window)).decode().splitlines():
        if ":" in line:
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
    return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
            int(fields["Width"]), int(fields["Height"]))


def wait_geometry(session, window, wanted, deadline_s=5):
    """Wait until the window has the wanted geometry; fail with the last one seen."""
    deadline = time.monotonic() + deadline_s
    seen = None
    while time.monotonic() < deadline:
        seen = geometry(session, window)
        if seen == wanted:
            return
        time.sleep(0.1)
    raise Failure(f"window geometry {seen}, expected {wanted}")


class Image:
    """A screenshot of the root window as 8-bit RGB."""

    def __init__(self, ppm):
        parts = []
        pos = 0
        while len(parts) < 4:  # magic, width, height, maximum value
            while ppm[pos:pos + 1].isspace():
                pos += 1
            if ppm[pos:pos + 1] == b"#":
                pos = ppm.index(b"\n", pos) + 1
                continue
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            parts.append(ppm[pos:end])
            pos = end
        if parts[0] != b"P6" or parts[3] != b"255":
            raise Failure("unexpected screenshot format")
        self.width, self.height = int(parts[1]), int(parts[2])
        self.data = ppm[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


def screenshot(session):
    """Take a screenshot of the whole virtual display."""
    xwd = session.x("xwd", "-root", "-silent")
    return Image(session.x("convert", "xwd:-", "ppm:-", input_bytes=xwd))


def same_565(actual, rgb):
    """Tell whether a shown pixel is the 5-6-5 form of an RgbColour (top 5, 6, 5 bits)."""
    want = ((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)
    return all((a >> s) == (w >> s) for a, w, s in zip(actual, want, (3, 2, 3)))


def hexrgb(p):
    """Write a shown pixel as RRGGBB."""
    return "%02X%02X%02X" % p


def check_picture(img, origin, problems):
    """Check the fixed parts of the layout and the raster, with the picture at `origin`."""
    ox, oy = origin

    def at(x, y):
        return img.pixel(ox + x, oy + y)

    def expect(x, y, rgb, what):
        p = at(x, y)
        if not same_565(p, rgb):
            problems.append(f"{what} at picture ({x}, {y}): {hexrgb(p)}, expected {rgb:06X}")

    # Black around the picture.
    for x, y in ((-1, 300), (PIC_W, 300), (400, -1), (400, PIC_H)):
        if 0 <= ox + x < img.width and 0 <= oy + y < img.height:
            p = at(x, y)
            if p != (0, 0, 0):
                problems.append(f"outside the picture at ({ox + x}, {oy + y}): {hexrgb(p)}")
    # The gradient bars of rows 16 and 34: green 2i+50 rising, 255-2i falling.
    for i in range(1, 100):
        expect(8 * (i - 1) + 4, 248, (2 * i + 50) << 8, f"upper gradient cell {i}")
        expect(8 * (i - 1) + 4, 536, (255 - 2 * i) << 8, f"lower gradient cell {i}")
    # The title line: orange text, its "::" (columns 42-43, x 328-343) in dark red.
    orange = red_outside = red_inside = 0
    for y in range(544, 560):
        for x in range(PIC_W):
            p = at(x, y)
            if same_565(p, 0xFF9966):
                orange += 1
            elif same_565(p, 0xAA3311):
                if 328 <= x <= 343:
                    red_inside += 1
                else:
                    red_outside += 1
    if orange < 200 or red_inside == 0 or red_outside != 0:
        problems.append(f"title line: {orange} orange pixels, {red_inside} dark red in '::', "
                        f"{red_outside} dark red elsewhere")
    # The hour scale of row 1.
    if not any(same_565(at(x, y), 0x77FF33) for y in range(16) for x in range(0, 16)):
        problems.append("no upper hour scale label '0h' in 0x77FF33")
    return check_raster(at, problems)


def check_raster(at, problems):
    """Check the raster: green, half-hour marks, and one verdict pixel per second of minute 0."""
    verdicts = (0x4444FF, 0xFF4444, 0xFFFFFF)
    plotted = 0
    while plotted < 60 and any(same_565(at(1, 30 + plotted), c) for c in verdicts):
        plotted += 1
    if plotted < 2:
        problems.append(f"only {plotted} seconds plotted in the raster")
    wrong = []
    for y in range(30, 91):
        for x in range(1, 722):
            if x == 1 and y - 30 < plotted:
                continue
            rgb = 0x00AA00 if (x - 1) % 30 == 0 and y >= 31 else 0x00CC00
            if not same_565(at(x, y), rgb):
                wrong.append(f"({x}, {y}) {hexrgb(at(x, y))} not {rgb:06X}")
    if wrong:
        problems.append(f"{len(wrong)} raster pixels wrong, first: {wrong[:3]}")
    return plotted


def report(problems, what):
    """Fail with every problem found, if any."""
    if problems:
        raise Failure(f"{what}:\n  " + "\n  ".join(problems))


def program_in_workdir(session, args):
    """Return a path to the program through the session's folder (a link made there)."""
    link = os.path.join(session.workdir, "programa-ñ")
    if not os.path.lexists(link):
        os.symlink(os.path.abspath(args.program), link)
    return link


def start_program(session, args):
    """Start the live program on the display; return it and its window once shown."""
    p = session.spawn([program_in_workdir(session, args)], env=session.x_env())
    window = wait_window(session, p)
    return p, window


def log_name():
    """The name of today's study log."""
    return "estudio_" + datetime.date.today().strftime("%m-%d-%Y")


def study_files_problems(session, end_reason):
    """Check that the folder holds today's study log and its provenance record, ended for
    `end_reason`; return what is wrong."""
    names = sorted(n for n in os.listdir(session.workdir) if n.startswith("estudio_"))
    expected = [log_name(), log_name() + ".json", log_name() + ".lock"]
    if names != expected:
        return [f"study files {names}, expected {expected}"]
    with open(os.path.join(session.workdir, log_name() + ".json"), encoding="utf-8") as f:
        try:
            record = json.load(f)
        except ValueError as error:
            return [f"provenance record is not JSON: {error}"]
    if record.get("end_reason") != end_reason:
        return [f"provenance end_reason {record.get('end_reason')!r}, expected {end_reason!r}"]
    return []


def expect_orderly_end(session, p, how, end_reason="space"):
    """Wait for the program's end and check exit code 0 and the (empty) study log."""
    try:
        p.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure(f"the program did not end within 10 s of {how}")
    problems = []
    if p.returncode != 0:
        p.stderr.seek(0)
        problems.append(f"exit code {p.returncode}: {p.stderr.read()[-2000:].decode(errors='replace')}")
    found = study_files_problems(session, end_reason)
    problems += found
    if not found and os.path.getsize(os.path.join(session.workdir, log_name())) != 0:
        problems.append("the study log of a run under 300 s is not empty")
    out = p.stdout.read()
    if out:
        problems.append(f"unexpected output {out[:200]!r}")
    report(problems, f"end by {how}")


def end_by_space(session, p):
    """Press the space bar and check the program's orderly end."""
    session.x("xdotool", "key", "space")
    expect_orderly_end(session, p, "the space bar")


def open_x_display(session, purpose):
    """Load Xlib and open the session's display; return both (close with XCloseDisplay)."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    d = x11.XOpenDisplay(session.display.encode())
    if not d:
        raise Failure(f"cannot open the display to {purpose}")
    return x11, d


def cover_and_uncover(session, rect):
    """Map a grey window over part of the screen for a moment, then destroy it."""
    x11, d = open_x_display(session, "cover the window")
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong,
                                        ctypes.c_ulong]
    for name in ("XMapRaised", "XDestroyWindow"):
        getattr(x11, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x, y, w, h = rect
    cover = x11.XCreateSimpleWindow(d, x11.XDefaultRootWindow(d), x, y, w, h, 0, 0, 0x808080)
    x11.XMapRaised(d, cover)
    x11.XSync(d, 0)
    time.sleep(0.5)
    x11.XDestroyWindow(d, cover)
    x11.XSync(d, 0)
    x11.XCloseDisplay(d)


def send_close_request(session, window):
    """Ask the window to close the way a window manager's close button does (WM_DELETE_WINDOW)."""
    x11, d = open_x_display(session, "send the close request")
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    ev = Event()
    ev.xclient.type = 33  # ClientMessage
    ev.xclient.window = window
    ev.xclient.message_type = x11.XInternAtom(d, b"WM_PROTOCOLS", 0)
    ev.xclient.format = 32
    ev.xclient.data[0] = x11.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(d, window, 0, 0, ctypes.byref(ev))
    x11.XFlush(d)
    x11.XCloseDisplay(d)


# ---------------------------------------------------------------- the cases

def case_picture(args):
    """Full screen on 1024x768: scale 1, centred at (112, 84), the layout and the raster."""
    with Session() as s:
        s.start_xvfb()
        p, window = start_program(s, args)
        wait_geometry(s, window, (0, 0, SCREEN_W, SCREEN_H))
        caption = s.x("xdotool", "getwindowname", str(window)).decode().rstrip("\n")
        if not caption.startswith(CAPTION + " ") or len(caption) > 127:
            raise Failure(f"caption {caption!r}")
        time.sleep(4.5)
        problems = []
        plotted = check_picture(screenshot(s), CENTRED, problems)
        report(problems, "full-screen picture")
        if plotted > 8:
            raise Failure(f"{plotted} seconds plotted after about 5 s")
        end_by_space(s, p)


def case_toggle(args):
    """Alt+Enter switches to an 800x600 window centred on the desktop and back, keeping the picture."""
    with Session() as s:
        s.start_xvfb()
        p, window = start_program(s, args)
        wait_geometry(s, window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(2.5)
        s.x("xdotool", "key", "alt+Return")
        wait_geometry(s, window, CENTRED + (PIC_W, PIC_H))
        time.sleep(0.5)
        problems = []
        check_picture(screenshot(s), CENTRED, problems)
        report(problems, "picture in a window")
        s.x("xdotool", "key", "alt+Return")
        wait_geometry(s, window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(0.5)
        check_picture(screenshot(s), CENTRED, problems)
        report(problems, "picture back in full screen")
        if p.poll() is not None:
            raise Failure("the program ended on Alt+Enter")
        end_by_space(s, p)


def case_small(args):
    """On a display smaller than the picture: the 800x600 window, not a cropped full screen, also
    after Alt+Enter."""
    small_w, small_h = 640, 480
    with Session() as s:
        s.start_xvfb((small_w, small_h))
        p, window = start_program(s, args)
        centred = ((small_w - PIC_W) // 2, (small_h - PIC_H) // 2, PIC_W, PIC_H)
        wait_geometry(s, window, centred)
        s.x("xdotool", "key", "alt+Return")
        time.sleep(1)
        if geometry(s, window) != centred:
            raise Failure(f"Alt+Enter on a small display gave {geometry(s, window)}")
        end_by_space(s, p)


def case_close(args):
    """Keys other than space (Alt+Space too, which Windows keeps for its system menu) and the close
    request are ignored; the program keeps running."""
    with Session() as s:
        s.start_xvfb()
        p, window = start_program(s, args)
        time.sleep(1.5)
        s.x("xdotool", "key", "a", "B", "Up", "Down", "Left", "Right", "F1", "Escape", "Return",
            "ctrl+c", "alt+x", "alt+space", "ctrl+alt+space", "shift+alt+space")
        s.x("xdotool", "key", "alt+F4")
        send_close_request(s, window)
        time.sleep(2.5)
        if p.poll() is not None:
            raise Failure(f"the program ended (code {p.returncode}) on keys other than space "
                          "or on the close request")
        wait_window(s, p)
        end_by_space(s, p)


def stop_by_each_signal(args, meanwhile=None, what=""):
    """Start the program once per stop signal, run `meanwhile(session)` if given, send the signal
    and check the orderly end."""
    for sig in STOP_SIGNALS:
        with Session() as s:
            s.start_xvfb()
            p, _ = start_program(s, args)
            time.sleep(1.5)
            if meanwhile is not None:
                meanwhile(s)
            p.send_signal(sig)
            expect_orderly_end(s, p, signal.Signals(sig).name + what, "signal")


def case_signals(args):
    """SIGTERM, SIGINT and SIGHUP end the program in order: exit code 0 and the study log."""
    stop_by_each_signal(args)


def flood_keys(session):
    """Start key floods that outlast the test and wait until they fill the key queue."""
    floods = [session.spawn(["xdotool", "key", "--delay", "0", "--repeat", "20000", "a"],
                            env=session.x_env(), stdout=subprocess.DEVNULL) for _ in range(FLOODS)]
    time.sleep(1.5)
    if any(f.poll() is not None for f in floods):
        raise Failure("a key flood ended before the stop request was sent")


def case_flood(args):
    """A stop request is not lost in a flood of keys: each stop signal ends the program in order."""
    stop_by_each_signal(args, flood_keys, " in a flood of keys")


def destroy_window(session, window):
    """Destroy the program's window from another client, its connection left alone."""
    x11, d = open_x_display(session, "destroy the window")
    x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDestroyWindow(d, window)
    x11.XSync(d, 0)
    x11.XCloseDisplay(d)


def expect_display_lost_end(session, p, how):
    """Wait for the program's end after losing its display: exit code 1, one line on standard
    error, and the study log closed."""
    wait_end(p, how)
    report(display_lost_problems(session, p), f"end by {how}")


def case_display(args):
    """Losing the display ends the program in order with exit code 1: the connection killed, the
    window destroyed by another client, the X server gone."""
    ways = {
        "the connection killed": lambda s, window: s.x("xdotool", "windowkill", str(window)),
        "the window destroyed": destroy_window,
        "the X server ended": lambda s, window: (s.processes[0].terminate(), s.processes[0].wait()),
    }
    for how, lose in ways.items():
        with Session() as s:
            s.start_xvfb()
            p, window = start_program(s, args)
            time.sleep(2.5)
            lose(s, window)
            expect_display_lost_end(s, p, how)


END_LIMIT_S = 10  # a stop request or a lost display must end the program within this


def wait_end(p, how):
    """Wait at most END_LIMIT_S for the program's end; a hang fails the case (the program is then
    ended by its process id when the session closes)."""
    try:
        p.wait(timeout=END_LIMIT_S)
    except subprocess.TimeoutExpired:
        raise Failure(f"the program did not end within {END_LIMIT_S} s of {how}")


def display_lost_problems(session, p):
    """What is wrong with an end by a lost display: exit 1, one line on standard error, the log
    closed with its record."""
    p.stderr.seek(0)
    err = p.stderr.read().decode(errors="replace")
    problems = [] if p.returncode == 1 else [f"exit code {p.returncode}, expected 1"]
    lines = err.splitlines()
    if len(lines) != 1 or "pantalla" not in lines[0]:
        problems.append(f"standard error {err[-2000:]!r}, expected one line about the display")
    return problems + study_files_problems(session, "display lost")


def stop_then_lose_display(session, p, stop, delay):
    """Run `stop` (a stop signal or the space key), then kill the X server `delay` seconds later."""
    stop()
    time.sleep(delay)
    session.processes[0].kill()


# The logout races: (what, how the run is stopped, delay before the server dies, end reason).
LOGOUT_RACES = [
    ("SIGTERM, the server killed 50 ms later", "SIGTERM", 0.05, "signal"),
    ("SIGHUP and the server killed at once", "SIGHUP", 0.0, "signal"),
    ("the space key, the server killed 30 ms later", "space", 0.03, "space"),
]
LOGOUT_TRIALS = 4  # of each race


def case_logout(args):
    """A stop request and a lost display together (a logout): the program ends within a few
    seconds, in order; status 0 when the request came first, as for a lost display otherwise.
    Also when the display stops answering without going away."""
    for trial in range(LOGOUT_TRIALS):
        for what, stop, delay, reason in LOGOUT_RACES:
            with Session() as s:
                s.start_xvfb()
                p, _ = start_program(s, args)
                time.sleep(1)
                if stop == "space":
                    stop_fn = lambda: s.x("xdotool", "key", "space")
                else:
                    stop_fn = lambda: p.send_signal(getattr(signal, stop))
                stop_then_lose_display(s, p, stop_fn, delay)
                how = f"{what} (trial {trial + 1})"
                wait_end(p, how)
                problems = study_files_problems(s, reason)
                if p.returncode != 0:
                    p.stderr.seek(0)
                    problems.append(f"exit code {p.returncode}: {p.stderr.read()[-2000:]!r}")
                if delay == 0.0 and p.returncode == 1:  # the loss may have been seen first
                    problems = display_lost_problems(s, p)
                report(problems, how)
    with Session() as s:  # a display that no longer answers holds the end up only a little
        s.start_xvfb()
        p, _ = start_program(s, args)
        time.sleep(1)
        s.processes[0].send_signal(signal.SIGSTOP)
        p.send_signal(signal.SIGTERM)
        wait_end(p, "SIGTERM with the X server stopped")
        problems = study_files_problems(s, "signal")
        if p.returncode != 0:
            problems.append(f"exit code {p.returncode}")
        s.processes[0].kill()
        report(problems, "SIGTERM with the X server stopped")


def case_startloss(args):
    """The display lost in the program's first tenth of a second: never a hang; a display gone
    before the screen is set up is a missing display (the message, status 0, no log), one lost
    later a lost display (status 1, the log closed). A stop request during start-up ends it in
    order, within seconds also when the X server answers nothing."""
    ways = [("the connection killed as soon as the window exists", None)] * 5
    ways += [(f"the X server killed {d * 1000:.0f} ms after the start", d)
             for d in (0.05, 0.075, 0.1, 0.125, 0.15)]
    for how, delay in ways:
        with Session() as s:
            s.start_xvfb()
            p = s.spawn([args.program], env=s.x_env())
            if delay is None:
                kill_window_at_once(s, p)
            else:
                time.sleep(delay)
                s.processes[0].kill()
            wait_end(p, how)
            out = p.stdout.read()
            if p.returncode == 0 and b"Error setting video mode!" in out:
                written = [n for n in os.listdir(s.workdir) if n.startswith("estudio_")]
                problems = [f"study files written without a screen: {written}"] if written else []
            else:
                problems = display_lost_problems(s, p)
            report(problems, how)
    for trial in range(3):
        with Session() as s:
            s.start_xvfb()
            p = s.spawn([args.program], env=s.x_env())
            wait_signal_caught(p, signal.SIGTERM)
            p.send_signal(signal.SIGTERM)
            expect_orderly_end(s, p, f"SIGTERM during start-up (trial {trial + 1})", "signal")
    with Session() as s:  # a display that answers nothing: the start gives up after a stop request
        s.start_xvfb()
        s.processes[0].send_signal(signal.SIGSTOP)
        p = s.spawn([args.program], env=s.x_env())
        wait_signal_caught(p, signal.SIGTERM)
        p.send_signal(signal.SIGTERM)
        wait_end(p, "SIGTERM during a start on a stopped X server")
        s.processes[0].kill()
        if p.returncode != 0:
            raise Failure(f"SIGTERM during a start on a stopped X server: exit code {p.returncode}")


def case_tworuns(args):
    """A second program started in the same folder on the same day refuses before it moves or
    writes anything (status 3, one line naming the first one's process id); once the first is
    killed outright, the next starts."""
    with Session() as s:
        s.start_xvfb()
        first, _ = start_program(s, args)
        time.sleep(1)
        before = {n: open(os.path.join(s.workdir, n), "rb").read()
                  for n in os.listdir(s.workdir) if n.startswith("estudio_")}
        second = s.spawn([args.program], env=s.x_env())
        wait_end(second, "a second start in the same folder")
        second.stderr.seek(0)
        err = second.stderr.read().decode(errors="replace")
        problems = [] if second.returncode == 3 else [f"second run: exit code {second.returncode}"]
        if len(err.splitlines()) != 1 or f"(el proceso {first.pid})" not in err:
            problems.append(f"second run said {err!r}, expected one line naming {first.pid}")
        after = {n: open(os.path.join(s.workdir, n), "rb").read()
                 for n in os.listdir(s.workdir) if n.startswith("estudio_")}
        if after != before:
            problems.append(f"the study files changed: {sorted(before)} then {sorted(after)}")
        report(problems, "a second run in the same folder")
        first.kill()
        first.wait()
        third, _ = start_program(s, args)
        time.sleep(1)
        s.x("xdotool", "key", "space")
        wait_end(third, "the space bar")
        if third.returncode != 0 or not os.path.exists(os.path.join(s.workdir, log_name() + ".1")):
            raise Failure(f"after a killed run: exit code {third.returncode}, files "
                          f"{sorted(os.listdir(s.workdir))}")


def kill_window_at_once(session, p):
    """Kill the program's connection (xdotool windowkill) as soon as its window exists."""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and p.poll() is None:
        r = subprocess.run(["xdotool", "search", "--name", TITLE], env=session.x_env(),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ids = r.stdout.split()
        if ids:
            subprocess.run(["xdotool", "windowkill", ids[0]], env=session.x_env(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return
    raise Failure(f"no window appeared (code {p.poll()})")


def wait_signal_caught(p, sig, deadline_s=20):
    """Wait until the process catches `sig` (its handler is installed)."""
    deadline = time.monotonic() + deadline_s
    while time.monotonic() < deadline:
        try:
            with open(f"/proc/{p.pid}/status") as f:
                caught = next(int(l.split()[1], 16) for l in f if l.startswith("SigCgt:"))
            if caught & (1 << (sig - 1)):
                return
        except (OSError, StopIteration):
            pass
        time.sleep(0.005)
    raise Failure(f"the program never caught signal {sig}")


def with_leak_suppressions(env):
    """A copy of `env` in which a sanitizer build leaves the system libraries' leaks unreported."""
    env = dict(env)
    lsan = f"suppressions={LSAN_SUPPRESSIONS}:print_suppressions=0"
    env["LSAN_OPTIONS"] = ":".join(filter(None, (env.get("LSAN_OPTIONS"), lsan)))
    return env


def spawn_unprivileged(session, args, cwd, stderr_fd):
    """Start the program in `cwd` with standard error on `stderr_fd` (None: closed), as a user
    who cannot write there (root writes anywhere, so it runs as nobody)."""
    argv = [args.program]
    if os.geteuid() == 0:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
        os.chmod(session.workdir, 0o755)

    def prepare():
        reset_stop_signals()
        if stderr_fd is None:
            os.close(2)

    p = subprocess.Popen(argv, env=with_leak_suppressions(session.x_env()), cwd=cwd,
                         stdout=subprocess.DEVNULL,
                         stderr=stderr_fd, preexec_fn=prepare)
    session.processes.append(p)
    return p


def case_streams(args):
    """Standard error closed, or a pipe nobody reads, while the study log cannot be created: the
    program runs on, and a stop request still ends it in order."""
    for how in ("standard error closed", "standard error a dead pipe"):
        with Session() as s:
            s.start_xvfb()
            cwd = os.path.join(s.workdir, "read-only")
            os.mkdir(cwd, 0o555)
            read_end, write_end = os.pipe()
            os.close(read_end)
            p = spawn_unprivileged(s, args, cwd, None if "closed" in how else write_end)
            os.close(write_end)
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and p.poll() is None:
                r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                                   env=s.x_env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                if r.stdout.split():
                    break
                time.sleep(0.1)
            time.sleep(2)
            if p.poll() is not None:
                raise Failure(f"{how}: the program ended by itself (code {p.returncode})")
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                raise Failure(f"{how}: the program did not end within 10 s of SIGTERM")
            if p.returncode != 0:
                raise Failure(f"{how}: exit code {p.returncode} after SIGTERM")
            if os.listdir(cwd):
                raise Failure(f"{how}: files written in a read-only folder: {os.listdir(cwd)}")


# Keys sent to the key probe (xdotool key names) and the codes it must read, in order.
PROBE_KEYS = [
    (["a"], ["0061"]),
    (["shift+a"], ["0041"]),
    (["ntilde"], ["00A4"]),
    (["Up", "Down", "Left", "Right"], ["48FF", "50FF", "4BFF", "4DFF"]),
    (["Home", "End", "Prior", "Next", "Insert", "Delete"],
     ["47FF", "4FFF", "49FF", "51FF", "52FF", "53FF"]),
    (["ctrl+Left", "ctrl+Right", "ctrl+Up", "ctrl+Down"], ["73FF", "74FF", "8DFF", "91FF"]),
    (["F1", "F10", "F11", "F12"], ["3BFF", "44FF", "85FF", "86FF"]),
    (["shift+F1", "ctrl+F1", "alt+F1"], ["54FF", "5EFF", "68FF"]),
    (["alt+F4"], ["6BFF"]),
    (["alt+x", "alt+q"], ["2DFF", "10FF"]),
    (["ctrl+c", "ctrl+z"], ["0003", "001A"]),
    (["Return", "Escape", "BackSpace", "Tab", "shift+Tab"],
     ["000D", "001B", "0008", "0009", "0FFF", "0009"]),  # Shift+Tab then types a Tab, as on Windows
    (["ctrl+Tab", "alt+space", "ctrl+alt+space", "a"], ["94FF", "0061"]),  # Alt+Space: nothing
    (["b"], ["0062"]),  # also sounds the bell, which must not hold the probe up
]


def check_probe_picture(img, problems):
    """Check the key probe's still picture: a white frame, black inside, red at (1, 1), centred."""
    ox, oy = CENTRED
    wanted = {(1, 1): 0xFF0000, (-1, 300): 0, (PIC_W, 300): 0, (400, -1): 0, (400, PIC_H): 0}
    for i in range(0, PIC_W, 7):
        wanted[(i, 0)] = wanted[(i, PIC_H - 1)] = 0xFFFFFF
    for i in range(0, PIC_H, 7):
        wanted[(0, i)] = wanted[(PIC_W - 1, i)] = 0xFFFFFF
    for y in range(5, PIC_H - 5, 23):
        for x in range(5, PIC_W - 5, 23):
            wanted[(x, y)] = 0
    wrong = [f"({x}, {y}) {hexrgb(img.pixel(ox + x, oy + y))} not {rgb:06X}"
             for (x, y), rgb in sorted(wanted.items()) if not same_565(img.pixel(ox + x, oy + y), rgb)]
    if wrong:
        problems.append(f"{len(wrong)} probe picture pixels wrong, first: {wrong[:3]}")


def case_keys(args):
    """Key presses reach the key queue as the PC key codes, one code per press; a still picture
    that is covered and uncovered is shown again."""
    with Session() as s:
        s.start_xvfb()
        p, window = start_probe(s, args, 1)
        out = p.stdout.fileno()
        wait_geometry(s, window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(0.3)
        problems = []
        check_probe_picture(screenshot(s), problems)
        report(problems, "probe picture")
        cover_and_uncover(s, (200, 150, 600, 450))
        time.sleep(0.3)
        check_probe_picture(screenshot(s), problems)
        report(problems, "probe picture after being covered and uncovered")
        for keys, codes in PROBE_KEYS:
            s.x("xdotool", "key", *keys)
            got = [read_line(out, time.monotonic() + 5).strip() for _ in codes]
            if got != codes:
                problems.append(f"{' '.join(keys)}: {got}, expected {codes}")
        send_close_request(s, window)
        got = read_line(out, time.monotonic() + 5).strip()
        if got != "6BFF":
            problems.append(f"close request: {got!r}, expected 6BFF")
        s.x("xdotool", "key", "space")
        got = read_line(out, time.monotonic() + 5).strip()
        if got != "0020":
            problems.append(f"space: {got!r}, expected 0020 (and nothing else before it)")
        try:
            p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            problems.append("the probe did not end after the space")
        report(problems, "key codes")


def start_probe(session, args, flags):
    """Start the key probe with open_screen flags; return it once its screen is open, and its window."""
    p = session.spawn([args.probe, str(flags)], env=session.x_env())
    if read_line(p.stdout.fileno(), time.monotonic() + 20).strip() != "ready":
        raise Failure(f"the key probe did not open its screen with flags {flags}")
    return p, wait_window(session, p, "key probe")


def end_probe(session, p, problems):
    """Press the space bar and note it when the key probe does not end cleanly."""
    session.x("xdotool", "key", "space")
    try:
        if p.wait(timeout=10) != 0:
            problems.append(f"the probe ended with code {p.returncode}")
    except subprocess.TimeoutExpired:
        problems.append("the probe did not end after the space")


def case_window(args):
    """A window when asked for one: 800x600 centred, switchable unless flags bit 2; OpenGL refused."""
    window_form = CENTRED + (PIC_W, PIC_H)
    problems = []
    with Session() as s:
        s.start_xvfb()
        p, window = start_probe(s, args, 0)
        wait_geometry(s, window, window_form)
        time.sleep(0.3)
        check_probe_picture(screenshot(s), problems)
        s.x("xdotool", "key", "alt+Return")
        wait_geometry(s, window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(0.3)
        check_probe_picture(screenshot(s), problems)
        end_probe(s, p, problems)
        report(problems, "window, switched to full screen")
    with Session() as s:
        s.start_xvfb()
        p, window = start_probe(s, args, 4)
        wait_geometry(s, window, window_form)
        s.x("xdotool", "key", "alt+Return")
        time.sleep(1)
        if geometry(s, window) != window_form:
            problems.append(f"Alt+Enter switched with flags bit 2: {geometry(s, window)}")
        end_probe(s, p, problems)
        report(problems, "window without switching")
    with Session() as s:
        s.start_xvfb()
        p = s.spawn([args.probe, "2"], env=s.x_env())
        out, _ = p.communicate(timeout=30)
        if out.strip() != b"no screen":
            problems.append(f"the OpenGL flag gave {out!r}, expected no screen")
        report(problems, "OpenGL flag")


def case_nodisplay(args):
    """Without any display: the message on standard output, exit code 0, no study log."""
    with Session() as s:
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR")}
        p = s.spawn([args.program], env=env)
        try:
            out, _ = p.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("the program kept running without a display")
        problems = []
        if b"Error setting video mode!" not in out:
            problems.append(f"output {out!r}")
        if p.returncode != 0:
            problems.append(f"exit code {p.returncode}")
        logs = [n for n in os.listdir(s.workdir) if n.startswith("estudio_")]
        if logs:
            problems.append(f"study log written: {logs}")
        report(problems, "no display")


CASES = {
    "picture": case_picture,
    "toggle": case_toggle,
    "small": case_small,
    "close": case_close,
    "signals": case_signals,
    "flood": case_flood,
    "display": case_display,
    "streams": case_streams,
    "keys": case_keys,
    "nodisplay": case_nodisplay,
    "window": case_window,
    "logout": case_logout,
    "startloss": case_startloss,
    "tworuns": case_tworuns,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.probe = os.path.abspath(args.probe) if args.probe else None

    def interrupted(signum, _frame):
        raise SystemExit(f"interrupted by signal {signum}")

    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    missing = [t for t in ("Xvfb", "xdotool", "xwd", "xwininfo", "convert") if not shutil.which(t)]
    if missing:
        print(f"FAIL {args.case}: missing {', '.join(missing)} (tools/install-deps test installs them)")
        return 1
    try:
        CASES[args.case](args)
    except Failure as f:
        print(f"FAIL {args.case}: {f}")
        return 1
    print(f"ok {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
