"""Helpers for tests that play Velmora in real X windows: a private Xvfb, the game's processes,
keys through xdotool, and screenshots read as pixels.

Field (x, y) is pixel ((x + 1) * 250, (1 - y) * 250) in a 500 by 500 window.
"""
import contextlib
import ctypes
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SIZE = 500

WHITE = lambda p: p[0] > 200 and p[1] > 200 and p[2] > 200
GREEN = lambda p: p[0] < 60 and p[1] > 200 and p[2] < 60
RED = lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60
YELLOW = lambda p: p[0] > 200 and p[1] > 200 and p[2] < 60
BLACK = lambda p: p == (0, 0, 0)
# The ship's bullets: (1, 0.3, 0.3).
LIGHT_RED = lambda p: p[0] > 200 and 50 < p[1] < 110 and 50 < p[2] < 110


def field_to_pixel(x, y):
    return (x + 1) * SIZE / 2, (1 - y) * SIZE / 2


PLAIN_ROW = int(field_to_pixel(0, -0.5)[1])


class Shot:
    """One screenshot: rows of (r, g, b) pixels, and when it was taken (seconds after start)."""

    def __init__(self, width, height, data, when=0.0):
        self.width, self.height, self.data, self.when = width, height, data, when

    def px(self, x, y):
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def points(self, pred, x0=0, y0=0, x1=None, y1=None):
        x1 = self.width if x1 is None else min(x1, self.width)
        y1 = self.height if y1 is None else min(y1, self.height)
        return [(x, y) for y in range(max(0, y0), y1) for x in range(max(0, x0), x1)
                if pred(self.px(x, y))]

    def count(self, pred, *box):
        return len(self.points(pred, *box))

    def crop(self, x0, y0, x1, y1):
        rows = [self.data[(y * self.width + x0) * 3:(y * self.width + x1) * 3]
                for y in range(y0, y1)]
        return Shot(x1 - x0, y1 - y0, b"".join(rows), self.when)

    def lit_near(self, x, y, pred=WHITE, reach=1):
        xi, yi = int(round(x)), int(round(y))
        return any(pred(self.px(xx, yy))
                   for yy in range(yi - reach, yi + reach + 1)
                   for xx in range(xi - reach, xi + reach + 1)
                   if 0 <= xx < self.width and 0 <= yy < self.height)

    def widest_run(self, pred, row):
        """The (start, end) of the longest run of matching pixels on a row; (0, -1) if none."""
        best, start = (0, -1), None
        for x in range(self.width + 1):
            hit = x < self.width and pred(self.px(x, row))
            if hit and start is None:
                start = x
            elif not hit and start is not None:
                if x - start > best[1] - best[0] + 1:
                    best = (start, x - 1)
                start = None
        return best

    def save_png(self, path):
        rows = b"".join(b"\x00" + bytes(self.data[y * self.width * 3:(y + 1) * self.width * 3])
                        for y in range(self.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                    chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


# --- Reading the game in a 500 by 500 picture ---------------------------------------------------

def plain_invader_x(s):
    """Pixel x of the filled white hexagon on the row of y = -0.5, or None."""
    start, end = s.widest_run(WHITE, PLAIN_ROW)
    # A hexagon of radius 0.05 is 25 pixels across its middle row; outlines are thin.
    wide = all(s.widest_run(WHITE, r)[1] - s.widest_run(WHITE, r)[0] >= 12
               for r in (PLAIN_ROW - 4, PLAIN_ROW + 4))
    return (start + end) / 2 if end - start + 1 >= 15 and wide else None


def layout(s):
    """The white pixels but the ship's: its blink counts frames, and one game may have drawn
    an extra frame or two (a window being mapped and moved) that the other has not."""
    return [(x, y) for x, y in s.points(WHITE) if not (215 < x < 285 and 215 < y < 285)]


def same_tick(ours, theirs, slack=0):
    """A picture from each list showing the plain invader at the same place, so at the same
    tick (it moves 2.5 pixels a tick), or within `slack` ticks of it; the closest pair, or
    None."""
    def clock(s):  # read once per picture: the callers ask again as their lists grow
        if not hasattr(s, "invader_x"):
            s.invader_x = plain_invader_x(s)
        return s.invader_x
    pairs = [(abs(clock(a) - clock(b)), i, j)
             for i, a in enumerate(ours) if clock(a) is not None
             for j, b in enumerate(theirs) if clock(b) is not None]
    close = [p for p in pairs if p[0] <= 2.5 * slack]
    if not close:
        return None
    _, i, j = min(close)
    return ours[i], theirs[j]


def ship_drawn_at_angle(s, angle):
    """Whether the ship's triangle, at the centre, turned by `angle`, is in the picture."""
    model = [(-0.05, -0.05), (0.05, 0.0), (-0.05, 0.05)]
    c, si = math.cos(angle), math.sin(angle)
    corners = [field_to_pixel(px * c - py * si, px * si + py * c) for px, py in model]
    samples = []
    for i in range(3):
        (ax, ay), (bx, by) = corners[i], corners[(i + 1) % 3]
        samples += [(ax + (bx - ax) * f, ay + (by - ay) * f) for f in (0.25, 0.5, 0.75)]
    return sum(s.lit_near(x, y) for x, y in samples) >= 8


def light_red_bullets(s):
    return s.count(LIGHT_RED, 0, 0, SIZE, 400)


def parse_ppm(raw, when=0.0):
    # P6 header: magic, width, height, maxval, each followed by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return Shot(width, height, raw[pos + 1:pos + 1 + width * height * 3], when)


def near_match(a, b, reach):
    """The share of points of a with a point of b within `reach` pixels (both ways, the worse)."""
    def covered(src, dst):
        grid = set(dst)
        hits = sum(any((x + dx, y + dy) in grid for dx in range(-reach, reach + 1)
                       for dy in range(-reach, reach + 1)) for x, y in src)
        return hits / max(1, len(src))
    return min(covered(a, b), covered(b, a))


class Checks:
    """Named checks, each printed as PASS or FAIL as it is made; pictures kept in out_dir."""

    def __init__(self, out_dir):
        self.out_dir, self.failures, self.passes = out_dir, [], 0

    def __call__(self, name, ok, detail=""):
        print(("PASS " if ok else "FAIL ") + name + (f" ({detail})" if detail else ""), flush=True)
        if ok:
            self.passes += 1
        else:
            self.failures.append(name)
        return ok

    def save(self, shot, name):
        if shot is not None:
            shot.save_png(os.path.join(self.out_dir, name + ".png"))

    @contextlib.contextmanager
    def scenario(self):
        """The test's steps: an unexpected error is one more failed check, so the summary
        still follows and says so."""
        try:
            yield
        except Exception as error:
            self("scenario ran to the end", False, repr(error))

    def finish(self, extra=""):
        """The summary line, then the exit status: 1 if any check failed."""
        print(f"{self.passes} passed, {len(self.failures)} failed{extra}")
        sys.exit(1 if self.failures else 0)


# Waits are for what is bound to come: on a loaded machine it comes later, never otherwise, so
# every wait allows this many times what it names (a passing wait ends as soon as it may).
SLACK = float(os.environ.get("VELMORA_TEST_SLACK", "4"))


def wait_for(what, timeout=10.0, step=0.05):
    """What `what` returns once it is true, asked every `step` s; None after `timeout` s (times
    SLACK)."""
    deadline = time.time() + timeout * SLACK
    while time.time() < deadline:
        value = what()
        if value:
            return value
        time.sleep(step)
    return None


class Xvfb:
    """A private X display, screen 0 of width x height at 24 bits, closed on exit. It does not
    reset when its last client leaves, which would turn away a game connecting just then."""

    def __init__(self, width=1600, height=1200):
        read, write = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        # Games on this display keep their scores in a folder of their own, empty at the start,
        # never in the tester's.
        self.data = tempfile.mkdtemp(prefix="velmora-data-")
        self.env = dict(os.environ, DISPLAY=":" + number.decode(), XDG_DATA_HOME=self.data,
                        XDG_CONFIG_HOME=os.path.join(self.data, "config"))
        self.env.pop("WAYLAND_DISPLAY", None)

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True,
                              check=check, timeout=30).stdout

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()
        shutil.rmtree(self.data, ignore_errors=True)


class Game:
    """The game in its own window on `x`, moved to `at` (None: left where it opened). Times are
    seconds since it appeared. It shows the designed frames, one a tick, unless `args` choose
    the frames."""

    def __init__(self, x, binary, args=(), at=(0, 0), env=None):
        self.x = x
        if not any(a.startswith("--frames") for a in args):
            args = ["--frames=designed", *args]
        self.proc = subprocess.Popen([binary, *args], env=dict(x.env, **(env or {})),
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        began = time.time()
        before = set(x.run("xdotool", "search", "--name", "^Velmora$", check=False).split())
        while True:
            if self.proc.poll() is not None:
                out = self.proc.stdout.read().decode(errors="replace").strip()
                raise RuntimeError(f"the game exited with {self.proc.returncode}: {out}")
            found = set(x.run("xdotool", "search", "--name", "^Velmora$", check=False).split())
            if found - before:
                self.window = sorted(found - before)[0]
                self.start = time.time()
                break
            if time.time() > began + 30:
                raise RuntimeError("no window titled Velmora appeared in 30 s")
            time.sleep(0.02)
        # Found as soon as it exists, it is mapped a moment later: keys and focus need it shown.
        wait_for(lambda: "IsViewable" in x.run("xwininfo", "-id", self.window, check=False), 10.0)
        self.first_size = self.size()
        # Without a window manager the window sits at (-1, -1) until moved.
        if at is not None:
            x.run("xdotool", "windowmove", self.window, str(at[0]), str(at[1]))

    def size(self):
        info = self.x.run("xwininfo", "-id", self.window)
        return (int(info.split("Width:")[1].split()[0]),
                int(info.split("Height:")[1].split()[0]))

    def seconds(self):
        return time.time() - self.start

    def wait_until(self, t):
        time.sleep(max(0.0, t - self.seconds()))

    def shot(self, name=None, out_dir=None):
        before = time.time()
        raw = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"],
                             env=self.x.env, capture_output=True, check=True, timeout=30).stdout
        s = parse_ppm(raw, (before + time.time()) / 2 - self.start)
        if name and out_dir:
            s.save_png(os.path.join(out_dir, name + ".png"))
        return s

    def first_shot_where(self, pred, seconds):
        """The first screenshot within `seconds` (times SLACK) for which pred holds, or None."""
        deadline = time.time() + seconds * SLACK
        while time.time() < deadline:
            s = self.shot()
            if pred(s):
                return s
        return None

    def keys(self, *names):
        # Keys reach a freeglut window that has the focus with the pointer inside it.
        self.x.run("xdotool", "mousemove", "--window", self.window, "250", "150")
        self.x.run("xdotool", "windowfocus", "--sync", self.window)
        self.x.run("xdotool", "key", "--delay", "30", *names)

    def resize(self, width, height):
        self.x.run("xdotool", "windowsize", "--sync", self.window, str(width), str(height))

    def close_window(self):
        """Asks the window to close as a window manager would: a WM_DELETE_WINDOW message."""
        x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 12)]  # an XEvent is 24 longs

        dpy = x11.XOpenDisplay(self.x.env["DISPLAY"].encode())
        event = ClientMessage()
        event.type = 33  # ClientMessage
        event.window = int(self.window)
        event.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.format = 32
        event.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(dpy, int(self.window), 0, 0, ctypes.byref(event))
        x11.XFlush(dpy)
        x11.XCloseDisplay(dpy)

    def exit_code(self, timeout=10):
        """The exit status once the process has ended, or None if it is still running."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def tick_rate(log_path, until=None):
    """Ticks per second and the gaps between ticks (ms) from a tick_log shim's file, up to
    `until` (time.monotonic() in seconds; the shim notes the same clock in milliseconds)."""
    with open(log_path) as f:
        times = [float(line.split()[0]) for line in f if line.strip()]
    ticks = [t for t in times[1:] if until is None or t <= until * 1000]
    # (the first line is main arming the first tick)
    gaps = [b - a for a, b in zip(ticks, ticks[1:])]
    return (len(ticks) - 1) * 1000.0 / (ticks[-1] - ticks[0]), gaps


def schedule_faults(log_path, period=50, late_reset=250):
    """What in a tick_log shim's file breaks the tick schedule, which holds on any machine,
    fast or slow: a tick never runs before it falls due, and the ticks fall due a period apart,
    unless the game fell more than `late_reset` ms behind and started the schedule again then.
    Each line tells how long a tick armed the timer for and the toolkit's time (whole ms) the
    game read just before: their sum is when the next tick falls due, or, armed for 0 ms, the
    next was due already. Times are the game's own, exact: a stamp the shim takes can come
    late when the machine is loaded, and would show a tick off the schedule that was not.
    Returns the ticks, and a list of the faults found (empty when the schedule held)."""
    with open(log_path) as f:
        armed = [(int(w[1]), int(w[2])) for w in map(str.split, f) if len(w) == 3]
    ticks = armed[1:]  # the first is main arming the first tick, on no clock of its own
    faults = []
    for (delay, read), (_, next_read) in zip(ticks, ticks[1:]):
        if next_read < read + delay:
            faults.append(f"a tick {read + delay - next_read} ms early")
    known = None  # (line, due) of the last tick whose due time the log tells
    for line, (delay, read) in enumerate(ticks):
        if delay <= 0:
            continue
        due = read + delay
        if known is not None:
            expected = known[1] + period * (line - known[0])
            if due != expected and not due > expected + late_reset:
                faults.append(f"a tick due {due - expected:+d} ms off the schedule")
        known = (line, due)
    return len(ticks), faults


def measuring_args(doc, *defaults):
    """A measuring script's command line: VELMORA_BINARY and TICK_LOG_SHIM, made absolute, then
    a value for each of `defaults` (of its type), the default where none is given; without the
    first two, `doc` is shown."""
    if len(sys.argv) < 3:
        sys.exit(doc)
    given = sys.argv[3:]
    return (os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
            *(type(d)(given[i]) if i < len(given) else d for i, d in enumerate(defaults)))


def play_headless(binary, path):
    """velmora --play FILE --headless, as on a machine with no display."""
    return subprocess.run([binary, "--play", path, "--headless"], capture_output=True, text=True,
                          timeout=120, env=dict(os.environ, DISPLAY=""))


def recorded_as_designed(check, text, binary):
    """A recording of a game played with j for left and k for fire: it keeps the designed keys,
    and replays without a window to its every check value."""
    check("its recording keeps the designed keys (a and q for j and k)",
          "\nk a\n" in text and "\nk q\n" in text and "\nk j\n" not in text and
          "\nk k\n" not in text)
    with tempfile.NamedTemporaryFile("w", suffix=".replay") as f:
        f.write(text)
        f.flush()
        replay = play_headless(binary, f.name)
    check("it replays without a window to every check value", replay.returncode == 0,
          replay.stdout + replay.stderr)
