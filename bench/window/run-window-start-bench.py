#!/usr/bin/env python3
"""The window start-up figure under wine64: from starting the process to the
first painted main window of Quarn.exe (signed out, the local service
answering), against bare_window.exe, which registers a class, creates a
window of the same size and paints it once. Both run on one display, in one
Wine prefix whose server is kept warm; the median of the rounds is printed.

    run-window-start-bench.py --bin BIN_DIR --bare BARE_EXE [--rounds N]
                              [--probe QUARN_PROBE_EXE [--latency MS]]

"Painted" is the screen's centre no longer showing the empty display's
black, read from the X server every few milliseconds. The rounds of the two
programs take turns, so a busy machine slows both.

With --probe, also from the start to the home feed's first picture painted
large, the service answering after MS ms (picture cache emptied first),
against the bare window's start plus the two round trips the picture needs
(the home feed and the picture itself, timed here with the same latency)
plus one GDI+ decode of it (quarn_probe.exe). "Painted large" is a few
points of the screen showing the picture's own colours where the viewer
fits it, read as above.
"""

import argparse
import ctypes
import glob
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from quarn_e2e import (SCREEN, WINE_PREFIX, WINE_RUN, Display, Program, Service, end_process, end_wine, poll,
                       set_first_run_marker)

WINESERVER = "/usr/lib/wine/wineserver"


class CentrePixel:
    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.c_void_p
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                       ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XGetPixel.restype = ctypes.c_ulong
        self.x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        self.root = self.x11.XDefaultRootWindow(self.dpy)

    def value(self, x=SCREEN[0] // 2, y=SCREEN[1] // 2):
        image = self.x11.XGetImage(self.dpy, self.root, x, y, 1, 1, 0xFFFFFFFF, 2)
        if not image:
            return 0
        pixel = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return pixel & 0xFFFFFF


# How far a screen pixel may stray from the picture's own: two decoders and
# the viewer's scaling, on a flat patch of the picture.
TOLERANCE = 24


class PictureMarks:
    """Screen points where the home picture, fitted into the screen, shows
    flat patches of known colour; all of them matching is the picture
    painted large."""

    def __init__(self, path):
        width, height = (int(v) for v in subprocess.run(["identify", "-format", "%w %h", path], check=True,
                                                        capture_output=True, text=True).stdout.split())
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
        scale = min(SCREEN[0] / width, SCREEN[1] / height)
        left, top = (SCREEN[0] - width * scale) / 2, (SCREEN[1] - height * scale) / 2

        def colour(px, py):
            i = (py * width + px) * 3
            return rgb[i], rgb[i + 1], rgb[i + 2]

        def flat(px, py, reach=6):
            centre = colour(px, py)
            return all(max(abs(a - b) for a, b in zip(colour(px + dx, py + dy), centre)) <= 6
                       for dx in range(-reach, reach + 1, 3) for dy in range(-reach, reach + 1, 3))

        self.points = []
        # The left part: the comment view opens over the right one.
        for fy in (0.35, 0.45, 0.55, 0.65, 0.75):
            for fx in (0.2, 0.3, 0.4, 0.5):
                px, py = int(fx * width), int(fy * height)
                if flat(px, py):
                    self.points.append((int(left + fx * width * scale), int(top + fy * height * scale),
                                        colour(px, py)))
        if len(self.points) < 3:
            raise RuntimeError("the home picture has too few flat patches to be seen by")
        self.points = self.points[:6]

    def shown(self, centre):
        for x, y, (r, g, b) in self.points:
            pixel = centre.value(x, y)
            seen = ((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF)
            if max(abs(a - e) for a, e in zip(seen, (r, g, b))) > TOLERANCE:
                return False
        return True


def bench_prefix():
    """A Wine prefix of the benchmark's own: its server is ended at the end."""
    cache = os.path.join(os.environ.get("QUARN_WINE_CACHE", "/var/cache/quarn-wine"), "window-bench")
    result = subprocess.run(["bash", WINE_PREFIX], env=dict(os.environ, QUARN_WINE_CACHE=cache),
                            capture_output=True, text=True, check=True)
    return result.stdout.strip().splitlines()[-1]


def tray_shown(env):
    """Whether Wine's stand-in notification area is on screen: with no tray on
    the display it shows while an icon is there, and it goes only seconds
    after the icon, when the window manager it waits for never answers."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Wine System Tray$"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return bool(found.stdout.strip())


def time_to_paint(centre, command, cwd, env, timeout=60, end=None, marks=None):
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        poll(lambda: centre.value() != 0 or process.poll() is not None, timeout, "a painted window", step=0.002)
        if marks:
            if marks.shown(centre):
                raise RuntimeError("the first paint already looks like the home picture")
            poll(lambda: marks.shown(centre) or process.poll() is not None, timeout, "the home picture", step=0.002)
        painted = time.monotonic() - started
        if process.poll() is not None:
            raise RuntimeError("%s ended with %s before painting" % (command[-1], process.returncode))
        return painted
    finally:
        closed = True
        if end:
            closed = subprocess.run(end, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    timeout=60).returncode == 0
            if closed:
                poll(lambda: process.poll() is not None, 30, "the program to end", step=0.01)
        end_process(process)
        poll(lambda: centre.value() == 0, 30, "the window to go", step=0.01)
        # The shell busy letting the last icon go would hold up the next start.
        poll(lambda: not tray_shown(env), 30, "Wine's notification area to go", step=0.05)
        if not closed:
            raise RuntimeError("could not close %s: no main window shown" % command[-1])


def empty_picture_cache(prefix):
    """The per-user data but the first-run marker: pictures and kept feeds."""
    for folder in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "ostrel_quarn", "*")):
        if os.path.isdir(folder):
            shutil.rmtree(folder, ignore_errors=True)


def home_picture(service):
    """The address of the home feed's first picture."""
    with urllib.request.urlopen(service.base + "book.php?action=c_all", data=b"", timeout=30) as answer:
        url = json.loads(answer.read().decode("utf-8"))["image_list"][0]["url"]
    return url


def round_trips(service, url):
    """The home feed and one picture, one after the other, as seconds."""
    started = time.monotonic()
    with urllib.request.urlopen(service.base + "book.php?action=c_all", data=b"", timeout=30) as answer:
        answer.read()
    with urllib.request.urlopen(url, timeout=30) as answer:
        answer.read()
    return time.monotonic() - started


def prepare_home(args, service, program, prefix, env, work):
    """The home picture's marks on the screen and its decode time."""
    url = home_picture(service)
    empty_picture_cache(prefix)
    # The viewer's request names the rendition it wants: learn it from one start.
    since = service.mark()
    stem = url.rsplit("/", 1)[1].rsplit(".", 1)[0]
    process = subprocess.Popen(["bash", WINE_RUN, os.path.join(program.folder, "Quarn.exe")], cwd=program.folder,
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def large_request():
            for entry in service.log(since)["entries"]:
                name = entry["path"].rsplit("/", 1)[-1]
                if entry["method"] == "GET" and name.startswith(stem + "_") and not name.startswith(stem + "_160x"):
                    return entry["path"]
            return None
        path = poll(large_request, 60, "the home picture's request")
    finally:
        # Everything of the prefix, its notification area with the icon too.
        end_process(process)
        end_wine(prefix)
    url = service.base.rstrip("/") + path
    local = os.path.join(work, "home.jpg")
    with urllib.request.urlopen(url, timeout=30) as answer, open(local, "wb") as out:
        out.write(answer.read())
    decoded = subprocess.run(["bash", WINE_RUN, args.probe, "decode:Z:" + local.replace("/", "\\")], env=env,
                             capture_output=True, text=True, timeout=120)
    # The server the probe started goes too: the caller starts a lasting one.
    end_wine(prefix)
    match = [line for line in decoded.stdout.splitlines() if line.startswith("decode_ms=")]
    if decoded.returncode != 0 or not match:
        raise RuntimeError("quarn_probe could not decode the home picture: " + decoded.stderr.strip())
    return {"url": url, "marks": PictureMarks(local), "decode": float(match[0].split("=")[1]) / 1000}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Quarn.exe, skinkit.dll and the skin")
    parser.add_argument("--bare", required=True, help="bare_window.exe")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--probe", help="quarn_probe.exe: also the home picture's figure")
    parser.add_argument("--latency", type=int, default=20, help="ms the service waits before answering (home picture)")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="quarn-window-bench-")
    prefix = bench_prefix()
    display = Display()
    env = dict(os.environ, DISPLAY=display.start(), WINEPREFIX=prefix)
    server = None
    try:
        end_wine(prefix)
        # A persistent server: every start below finds it warm.
        server = subprocess.Popen([WINESERVER, "-f", "-p"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        Service().reset()
        # A later start, as a user's every start but the first: the first
        # shows the guide, and its main window stays hidden until the guide ends.
        set_first_run_marker(prefix)
        program = Program(args.bin, work, os.path.join(work, "wine.log"))
        program.write_config("<login />")
        bare = os.path.join(work, "bare_window.exe")
        shutil.copy2(args.bare, bare)
        centre = CentrePixel(env["DISPLAY"])
        quarn_cmd = ["bash", WINE_RUN, os.path.join(program.folder, "Quarn.exe")]
        # Closed as a user does (Alt+F4), so its tray icon goes with it: one
        # ended from outside leaves the icon to Wine's desktop, which then
        # holds up the next window start by about two seconds.
        quarn_end = ["bash", "-c", "w=$(xdotool search --onlyvisible --name '^Vorlane$' | head -n1) && "
                     "xdotool windowfocus --sync $w key --clearmodifiers alt+F4"]
        bare_cmd = ["bash", WINE_RUN, bare]
        home = None
        if args.probe:
            home = prepare_home(args, Service(), program, prefix, env, work)
            end_process(server)  # gone with the prefix's programs: a new one
            server = subprocess.Popen([WINESERVER, "-f", "-p"], env=env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        # One start of each first: disk caches and the prefix's first-run work.
        time_to_paint(centre, bare_cmd, work, env)
        time_to_paint(centre, quarn_cmd, program.folder, env, end=quarn_end)
        baseline, quarn, pictures, trips = [], [], [], []
        for _ in range(args.rounds):
            baseline.append(time_to_paint(centre, bare_cmd, work, env))
            quarn.append(time_to_paint(centre, quarn_cmd, program.folder, env, end=quarn_end))
            if home:
                service = Service()
                service.fault("latency_ms=%d" % args.latency)
                try:
                    trips.append(round_trips(service, home["url"]))
                    empty_picture_cache(prefix)
                    pictures.append(time_to_paint(centre, quarn_cmd, program.folder, env, end=quarn_end,
                                                  marks=home["marks"]))
                finally:
                    service.fault("latency_ms=0")
        q, b = statistics.median(quarn), statistics.median(baseline)
        print("first painted main window: Quarn.exe %.0f ms, bare window %.0f ms, ratio %.2f (median of %d)"
              % (q * 1000, b * 1000, q / b, args.rounds))
        print("  Quarn.exe rounds: %s" % ", ".join("%.0f" % (t * 1000) for t in quarn))
        print("  bare rounds:      %s" % ", ".join("%.0f" % (t * 1000) for t in baseline))
        if home:
            p, r = statistics.median(pictures), statistics.median(trips)
            reference = b + r + home["decode"]
            print("home picture painted large, %d ms latency: Quarn.exe %.0f ms, reference %.0f ms "
                  "(bare window %.0f + two round trips %.0f + one decode %.0f), ratio %.2f (median of %d)"
                  % (args.latency, p * 1000, reference * 1000, b * 1000, r * 1000, home["decode"] * 1000,
                     p / reference, args.rounds))
            print("  home picture rounds: %s" % ", ".join("%.0f" % (t * 1000) for t in pictures))
    finally:
        end_wine(prefix)
        end_process(server)
        display.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
