#!/usr/bin/env python3
"""The window start-up figure under wine64: from starting the process to the
first painted main window of Quarn.exe (signed out, the local service
answering), against bare_window.exe, which registers a class, creates a
window of the same size and paints it once. Both run on one display, in one
Wine prefix whose server is kept warm; the median of the rounds is printed.

    run-window-start-bench.py --bin BIN_DIR --bare BARE_EXE [--rounds N]

"Painted" is the screen's centre no longer showing the empty display's
black, read from the X server every few milliseconds.
"""

import argparse
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from quarn_e2e import SCREEN, WINE_PREFIX, WINE_RUN, Display, Program, Service, end_process, end_wine, poll

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

    def value(self):
        image = self.x11.XGetImage(self.dpy, self.root, SCREEN[0] // 2, SCREEN[1] // 2, 1, 1, 0xFFFFFFFF, 2)
        if not image:
            return 0
        pixel = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return pixel & 0xFFFFFF


def bench_prefix():
    """A Wine prefix of the benchmark's own: its server is ended at the end."""
    cache = os.path.join(os.environ.get("QUARN_WINE_CACHE", "/var/cache/quarn-wine"), "window-bench")
    result = subprocess.run(["bash", WINE_PREFIX], env=dict(os.environ, QUARN_WINE_CACHE=cache),
                            capture_output=True, text=True, check=True)
    return result.stdout.strip().splitlines()[-1]


def time_to_paint(centre, command, cwd, env, timeout=60, end=None):
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        poll(lambda: centre.value() != 0 or process.poll() is not None, timeout, "a painted window", step=0.002)
        painted = time.monotonic() - started
        if process.poll() is not None:
            raise RuntimeError("%s ended with %s before painting" % (command[-1], process.returncode))
        return painted
    finally:
        if end:
            subprocess.run(end, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            poll(lambda: process.poll() is not None, 30, "the program to end", step=0.01)
        end_process(process)
        poll(lambda: centre.value() == 0, 30, "the window to go", step=0.01)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Quarn.exe, skinkit.dll and the skin")
    parser.add_argument("--bare", required=True, help="bare_window.exe")
    parser.add_argument("--rounds", type=int, default=5)
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
        # One start of each first: disk caches and the prefix's first-run work.
        time_to_paint(centre, bare_cmd, work, env)
        baseline = [time_to_paint(centre, bare_cmd, work, env) for _ in range(args.rounds)]
        time_to_paint(centre, quarn_cmd, program.folder, env, end=quarn_end)
        quarn = [time_to_paint(centre, quarn_cmd, program.folder, env, end=quarn_end) for _ in range(args.rounds)]
        q, b = statistics.median(quarn), statistics.median(baseline)
        print("first painted main window: Quarn.exe %.0f ms, bare window %.0f ms, ratio %.2f (median of %d)"
              % (q * 1000, b * 1000, q / b, args.rounds))
        print("  Quarn.exe rounds: %s" % ", ".join("%.0f" % (t * 1000) for t in quarn))
        print("  bare rounds:      %s" % ", ".join("%.0f" % (t * 1000) for t in baseline))
    finally:
        end_wine(prefix)
        end_process(server)
        display.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
