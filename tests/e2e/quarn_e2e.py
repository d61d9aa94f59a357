"""End-to-end vocabulary: the local service, Quarn.exe under Wine on an X
display of its own, and a user's hands and eyes on it.

    with Journey("typed-login", bin_dir, artifacts) as j:
        j.service.reset()
        j.program.write_config('<login />')
        j.start()
        main = j.find_window("Vorlane")
        j.click(main, *j.login_link())
        login = j.find_window("登录Quarn")
        j.click(login, 200, 90)
        j.type(login, "demo@quarn.test")
        j.key(login, "Return")
        j.service.wait_request("c_login")
        j.screenshot("signed-in")

Every wait polls a condition against a deadline; nothing sleeps a fixed
time. Screenshots are kept in the artifacts folder. Only processes started
here are ended, by their pid.
"""

import argparse
import ctypes
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
WINE_RUN = os.path.join(ROOT, "tools", "wine-run.sh")
WINE_PREFIX = os.path.join(ROOT, "tools", "wine-prefix.sh")
WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1920, 1080)


class JourneyError(AssertionError):
    pass


def poll(condition, timeout, what, step=0.1):
    """Calls condition until it returns something true; returns that value.
    Fails with `what` when the deadline passes."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise JourneyError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(step)


def check(condition, message):
    if not condition:
        raise JourneyError(message)


# --- the local service --------------------------------------------------------

class Service:
    """The local picture service the tests share (QUARN_SERVICE_URL)."""

    def __init__(self, base_url=None):
        self.base = base_url or os.environ.get("QUARN_SERVICE_URL", "http://127.0.0.1:8711/")

    def _control(self, path):
        with urllib.request.urlopen(self.base + "__control/" + path, data=b"", timeout=10) as answer:
            return answer.read().decode("utf-8")

    def reset(self):
        self._control("reset")

    def keep_last_requests(self, path):
        """Writes the last requests, to tell a lost answer from a missed repaint."""
        with open(path, "w", encoding="utf-8") as out:
            for entry in self.log()["entries"][-60:]:
                out.write("%.3f %s %s?%s %s\n" % (entry["time"], entry.get("method", ""), entry["path"],
                                                  entry["query"], entry.get("status", "")))

    def fault(self, query):
        """query as the fault path takes it, e.g. "mode=down&match=c_login"."""
        self._control("fault?" + query)

    def log(self, since=0):
        return json.loads(self._control("log?since=%d" % since))

    def mark(self):
        """The sequence number after the last logged request."""
        # Without the entries: a long run's log is megabytes.
        return json.loads(self._control("log?limit=0"))["next_seq"] - 1

    def requests(self, part, since=0):
        """Logged requests whose path, query or body contain `part`."""
        found = []
        for entry in self.log(since)["entries"]:
            text = entry["path"] + "?" + entry["query"] + " " + entry.get("body", "")
            if part in text:
                found.append(entry)
        return found

    def wait_request(self, part, since=0, timeout=30):
        return poll(lambda: self.requests(part, since), timeout, "a request with %r" % part)[0]


# --- the display ----------------------------------------------------------------

class Display:
    """An Xvfb of its own, numbered by the server itself."""

    def __init__(self, size=SCREEN):
        self.size = size
        self.process = None
        self.name = None

    def start(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % self.size, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        check(number, "Xvfb did not start")
        self.name = ":" + number
        return self.name

    def stop(self):
        end_process(self.process)


def end_process(process, grace=10):
    """Ends a process started here, by its pid, and reaps it."""
    if not process or process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class KeyBindings:
    """Gives each non-ASCII character a keycode of its own (keysym 0x1000000 +
    code point, two per keycode: plain and Shift), so xdotool never remaps a
    key while the program still reads it. Wine reads the keyboard map when
    the program starts: characters bound later type nothing."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
        self.x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                                 ctypes.POINTER(ctypes.c_int)]
        self.x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                    ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
        self.x11.XFree.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                              ctypes.POINTER(ctypes.c_int)]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        check(self.dpy, "cannot open display %s" % display)
        self.bound = set()
        self.free = self._free_keycodes()

    def _free_keycodes(self):
        low, high = ctypes.c_int(), ctypes.c_int()
        self.x11.XDisplayKeycodes(self.dpy, ctypes.byref(low), ctypes.byref(high))
        per = ctypes.c_int()
        count = high.value - low.value + 1
        table = self.x11.XGetKeyboardMapping(self.dpy, low.value, count, ctypes.byref(per))
        free = []
        for i in range(count):
            syms = [table[i * per.value + j] for j in range(per.value)]
            # Empty, or vendor keys (XF86...), which Wine maps to keys of their own.
            if all(s == 0 or 0x1008FF00 <= s <= 0x1008FFFF for s in syms):
                free.append(low.value + i)
        self.x11.XFree(table)
        return free

    def bind(self, text):
        wanted = sorted({c for c in text if ord(c) > 0x7E} - self.bound)
        for i in range(0, len(wanted), 2):
            check(self.free, "no free keycode left for %r" % wanted[i:])
            pair = wanted[i:i + 2]
            syms = (ctypes.c_ulong * 2)(*[0x1000000 + ord(c) for c in pair] + [0] * (2 - len(pair)))
            self.x11.XChangeKeyboardMapping(self.dpy, self.free.pop(0), 2, syms, 1)
            self.bound.update(pair)
        self.x11.XSync(self.dpy, 0)


# --- Wine -----------------------------------------------------------------------------

def journey_prefix():
    """A Wine prefix of the journeys' own, made once and cached beside the
    shared one. Programs of one prefix share its desktop, whose screen is the
    display of whoever started it first: a test running elsewhere at the same
    time would lend the journey its screen size and keyboard focus."""
    cache = os.path.join(os.environ.get("QUARN_WINE_CACHE", "/var/cache/quarn-wine"), "journeys")
    env = dict(os.environ, QUARN_WINE_CACHE=cache)
    result = subprocess.run(["bash", WINE_PREFIX], env=env, capture_output=True, text=True)
    check(result.returncode == 0, "no Wine prefix: " + result.stderr.strip())
    return result.stdout.strip().splitlines()[-1]


def first_run_marker(prefix):
    """Path of the first-run marker of the prefix's one user."""
    users = [u for u in glob.glob(os.path.join(prefix, "drive_c", "users", "*")) if not u.endswith("Public")]
    check(len(users) == 1, "user folders in the prefix: %r" % users)
    return os.path.join(users[0], "AppData", "Roaming", "ostrel_quarn", "vorlane.db")


def set_first_run_marker(prefix):
    """Every journey but the first-start one starts as a later start: the
    first start shows the guide instead of the main window."""
    path = first_run_marker(prefix)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as marker:
        marker.write("[vorlane]\r\nrunonce=1\r\n")


def end_wine(prefix):
    """Ends every process of the prefix: only for the journeys' own."""
    subprocess.run([WINESERVER, "-k"], env=dict(os.environ, WINEPREFIX=prefix), capture_output=True)
    subprocess.run([WINESERVER, "-w"], env=dict(os.environ, WINEPREFIX=prefix), capture_output=True)


# --- the program -------------------------------------------------------------------

class Program:
    """Quarn.exe in a program folder of its own (it keeps vlconfig.xml there)."""

    FILES = ("Quarn.exe", "skinkit.dll")
    # Installed beside the program when the build made them; without the
    # updater every start shows the updater's error box.
    OPTIONAL_FILES = ("Patchling.exe", "Reportling.exe", "faultcatch.dll")
    FOLDERS = ("Qnv_resource",)

    def __init__(self, bin_dir, work_dir, output):
        self.folder = os.path.join(work_dir, "program")
        os.makedirs(self.folder, exist_ok=True)
        for name in self.FILES:
            shutil.copy2(os.path.join(bin_dir, name), self.folder)
        for name in self.OPTIONAL_FILES:
            if os.path.exists(os.path.join(bin_dir, name)):
                shutil.copy2(os.path.join(bin_dir, name), self.folder)
        for name in self.FOLDERS:
            shutil.copytree(os.path.join(bin_dir, name), os.path.join(self.folder, name), dirs_exist_ok=True)
        self.process = None
        self.output = output

    @property
    def config_path(self):
        return os.path.join(self.folder, "vlconfig.xml")

    def write_config(self, login_element):
        with open(self.config_path, "w", encoding="utf-8") as out:
            out.write("<quarn>\n    %s\n</quarn>\n" % login_element)

    def config(self):
        with open(self.config_path, "rb") as config:
            return config.read()

    def start(self, display, prefix, extra_env=None):
        env = dict(os.environ, DISPLAY=display, WINEPREFIX=prefix, **(extra_env or {}))
        with open(self.output, "ab") as log:
            self.process = subprocess.Popen(["bash", WINE_RUN, os.path.join(self.folder, "Quarn.exe")],
                                            cwd=self.folder, env=env, stdout=log, stderr=log)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def stop(self):
        end_process(self.process)


# --- a journey: display, program, hands and eyes ------------------------------------

class Journey:
    def __init__(self, name, bin_dir, artifacts, slow=False):
        self.name = name
        self.artifacts = os.path.join(artifacts, name)
        # A slow program (the 32-bit build through QEMU) gets longer deadlines.
        self.patience = 6.0 if slow else 1.0
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.work = tempfile.mkdtemp(prefix="quarn-e2e-")
        self.service = Service()
        self.prefix = journey_prefix()
        self.display = Display()
        self.program = Program(bin_dir, self.work, os.path.join(self.artifacts, "wine.log"))
        self.keys = None
        self.shots = 0

    def __enter__(self):
        end_wine(self.prefix)  # what an interrupted run left
        set_first_run_marker(self.prefix)
        self.display.start()
        self.keys = KeyBindings(self.display.name)
        return self

    def __exit__(self, kind, error, trace):
        if error is not None:
            try:
                self.screenshot("failure")
                self.service.keep_last_requests(os.path.join(self.artifacts, "requests.txt"))
            except Exception:  # the failure itself matters more
                pass
            sys.stderr.write("journey %s failed; screenshots and the last requests in %s, Wine's output in %s\n"
                             % (self.name, self.artifacts, self.program.output))
        self.program.stop()
        end_wine(self.prefix)
        self.display.stop()
        if error is None:
            shutil.rmtree(self.work, ignore_errors=True)
        return False

    def say(self, text):
        print("[%s] %s" % (self.name, text), flush=True)

    def seconds(self, base):
        return base * self.patience

    # Program ----------------------------------------------------------------
    def start(self, will_type="", extra_env=None):
        """Starts Quarn.exe; will_type holds every non-ASCII character the
        journey is going to type; extra_env adds to its environment."""
        self.keys.bind(will_type)
        self.program.start(self.display.name, self.prefix, extra_env)

    def _xdotool(self, *args, check_status=True):
        env = dict(os.environ, DISPLAY=self.display.name, LC_ALL="C.UTF-8")
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True, text=True)
        if check_status and result.returncode != 0:
            raise JourneyError("xdotool %s: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    # Windows ----------------------------------------------------------------------
    def windows(self, caption, visible=True):
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", "^%s$" % caption]
        return [int(w) for w in self._xdotool(*args, check_status=False).split()]

    def find_window(self, caption, timeout=30):
        """The shown window with exactly this caption."""
        def found():
            check(self.program.running(), "Quarn.exe ended (see %s)" % self.program.output)
            shown = self.windows(caption)
            return shown[0] if shown else None
        return poll(found, self.seconds(timeout), "a shown window %r" % caption)

    def is_shown(self, caption):
        return bool(self.windows(caption))

    def wait_hidden(self, caption, timeout=30):
        poll(lambda: not self.is_shown(caption), self.seconds(timeout), "%r to hide" % caption)

    def geometry(self, window):
        values = {}
        for line in self._xdotool("getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.lstrip("-").isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    # Hands -----------------------------------------------------------------------
    def click(self, window, x, y):
        """A left click at client coordinates of the window."""
        # The controls hit-test the pointer's position, so it must be there first.
        self._xdotool("mousemove", "--sync", "--window", window, x, y)
        self._xdotool("click", 1)

    def hover(self, window, x, y):
        """Moves the pointer to client coordinates of the window."""
        self._xdotool("mousemove", "--sync", "--window", window, x, y)

    def focus(self, window):
        # No window manager: focus is set directly, not by activation.
        self._xdotool("windowfocus", "--sync", window)

    def key(self, window, *names):
        self.focus(window)
        self._xdotool("key", "--clearmodifiers", *names)

    def type(self, window, text):
        unbound = {c for c in text if ord(c) > 0x7E} - self.keys.bound
        check(not unbound, "name %r in start(will_type=...)" % "".join(sorted(unbound)))
        self.focus(window)
        self._xdotool("type", "--delay", 40, text)

    # Eyes ---------------------------------------------------------------------------
    def pixels(self, window, x, y, width, height):
        """RGB rows of a client rectangle of the window, as the screen shows it."""
        left, top, _, _ = self.geometry(window)
        env = dict(os.environ, DISPLAY=self.display.name)
        raw = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left + x, top + y),
                              "-depth", "8", "rgb:-"], env=env, capture_output=True, check=True).stdout
        check(len(raw) == width * height * 3, "screen grab of %d bytes" % len(raw))
        return [[tuple(raw[(row * width + col) * 3:(row * width + col) * 3 + 3]) for col in range(width)]
                for row in range(height)]

    def screenshot(self, label):
        """Keeps the whole screen as NN-label.png in the artifacts."""
        self.shots += 1
        path = os.path.join(self.artifacts, "%02d-%s.png" % (self.shots, label))
        env = dict(os.environ, DISPLAY=self.display.name)
        subprocess.run(["import", "-window", "root", path], env=env, check=True, capture_output=True)
        return path

    def settled(self, window, x, y, width, height, timeout=10):
        """Pixels of a region once two grabs in a row agree (first paint done)."""
        last = [None]

        def same():
            now = self.pixels(window, x, y, width, height)
            agreed = now == last[0]
            last[0] = now
            return now if agreed else None
        return poll(same, self.seconds(timeout), "the window to finish painting", step=0.15)


class Eyes:
    """Reads the screen with XGetImage, which leaves the X server free:
    ImageMagick's import grabs the server while it reads, and Wine's window
    then waits for it, which the hang watch would take for the program's."""

    class Image(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                    ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                    ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]

    def __init__(self, j):
        self.j = j
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.POINTER(self.Image)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                       ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XDestroyImage.argtypes = [ctypes.POINTER(self.Image)]
        self.dpy = self.x11.XOpenDisplay(j.display.name.encode())
        check(self.dpy, "cannot open display %s" % j.display.name)
        self.root = self.x11.XDefaultRootWindow(self.dpy)

    def grab(self, x, y, width, height):
        """Rows of 32-bit pixels (blue, green, red, unused) and their stride."""
        image = self.x11.XGetImage(self.dpy, self.root, x, y, width, height, 0xFFFFFFFF, 2)
        check(image, "no screen grab")
        try:
            check(image.contents.bits_per_pixel == 32, "a screen of %d bits a pixel" % image.contents.bits_per_pixel)
            stride = image.contents.bytes_per_line
            return ctypes.string_at(image.contents.data, stride * height), stride
        finally:
            self.x11.XDestroyImage(image)

    def pixels(self, window, x, y, width, height):
        left, top, _, _ = self.j.geometry(window)
        raw, stride = self.grab(left + x, top + y, width, height)
        return [[(raw[r * stride + c * 4 + 2], raw[r * stride + c * 4 + 1], raw[r * stride + c * 4])
                 for c in range(width)] for r in range(height)]

    def screenshot(self, label):
        self.j.shots += 1
        path = os.path.join(self.j.artifacts, "%02d-%s.png" % (self.j.shots, label))
        raw, stride = self.grab(0, 0, *SCREEN)
        check(stride == SCREEN[0] * 4, "a screen row of %d bytes" % stride)
        subprocess.run(["convert", "-size", "%dx%d" % SCREEN, "-depth", "8", "bgra:-", "-alpha", "off", path],
                       input=raw, check=True, capture_output=True)
        return path


def columns_where(rows, test):
    """Sorted x positions where some pixel of the rows passes the test."""
    return sorted({x for row in rows for x, pixel in enumerate(row) if test(pixel)})


def is_red(pixel):
    r, g, b = pixel
    return r > 170 and g < 90 and b < 90


def colourful(rows):
    """A thumbnail, not a grey box or a dimmed background."""
    pixels = [p for row in rows for p in row]
    return sum(1 for p in pixels if max(p) - min(p) > 24) > len(pixels) // 3


def greyish(rows):
    """The grey 加载中 box: it lets a little of the picture behind through."""
    pixels = [p for row in rows for p in row]
    return sum(1 for p in pixels if max(p) - min(p) < 40) > len(pixels) * 9 // 10


def run_journey(name, session, options=None, prepare=None):
    """The entry of every journey script: --bin, --artifacts and the script's
    own options (options(parser) adds them), prepare(j, args) if given, a
    fresh local service, then session(j, args); 0 when it passed. name may
    be a function of the arguments."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Quarn.exe, skinkit.dll and the skin")
    parser.add_argument("--artifacts", required=True, help="where the screenshots go")
    if options:
        options(parser)
    args = parser.parse_args()
    journey_name = name(args) if callable(name) else name
    try:
        with Journey(journey_name, args.bin, args.artifacts, slow=getattr(args, "slow", False)) as j:
            if prepare:
                prepare(j, args)
            j.service.reset()
            session(j, args)
            j.say("passed; screenshots in " + j.artifacts)
    except (JourneyError, subprocess.TimeoutExpired) as error:
        print("FAILED: %s" % error, file=sys.stderr)
        return 1
    return 0
