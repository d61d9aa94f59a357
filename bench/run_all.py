#!/usr/bin/env python3
"""Runs every benchmark against its reference and prints one table.

    run_all.py --native DIR --windows DIR --curl-exe CURL_EXE [--rounds N]

bench/run-all.sh builds the trees and the Windows curl tool, then calls this.
Transfers: rounds alternate between the program and the curl tool (natively
the system's, under Wine one built from the same source as the program's
libcurl). Start-up: startup_bench and the curl tool replaying the same requests
take turns. Either way each round's ratio pairs runs made moments apart, so a
busy machine slows both sides of it, and the median of the rounds' ratios
counts. Parsing and paint: the programs' own medians.
"""

import argparse
import json
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import urllib.request

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SERVICE = os.path.join(ROOT, "tools", "localservice", "run.sh")
WINE_RUN = os.path.join(ROOT, "tools", "wine-run.sh")
WINESERVER = "/usr/lib/wine/wineserver"
PICTURE = "pictures/big20mb.jpg"
POST_PATH = "book.php?action=c_hot_tag"
POSTS_PER_ROUND = 8
# Before a connection's first request through the TLS front: TCP's round
# trip and TLS 1.2's two (Wine's Schannel offers no TLS 1.3).
TLS_HANDSHAKE_RTTS = 3


class Row:
    def __init__(self, figure, ours, reference, ratio, goal, met, unit=""):
        self.figure, self.ours, self.reference, self.ratio = figure, ours, reference, ratio
        self.goal, self.met, self.unit = goal, met, unit


class Bench:
    def __init__(self, args):
        self.args = args
        self.base = "http://127.0.0.1:%d/" % args.port
        self.rows = []
        self.notes = []

    # ---- the local service ---------------------------------------------------

    def control(self, path):
        with urllib.request.urlopen(self.base + "__control/" + path, data=b"", timeout=30) as answer:
            return json.loads(answer.read().decode("utf-8"))

    # ---- transfers -----------------------------------------------------------

    def run(self, command, env=None, timeout=600):
        # Into files, not pipes: Wine's helper processes inherit the output
        # and keep a pipe open long after the program ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(command, env=env, stdout=out, stderr=err, timeout=timeout).returncode
            out.seek(0)
            err.seek(0)
            stdout = out.read().decode("utf-8", "replace").replace("\r", "")
            if code != 0:
                raise RuntimeError("%s failed (%d): %s" % (" ".join(command[:3]), code,
                                                           err.read().decode("utf-8", "replace")[-2000:]))
        return stdout

    def curl_times(self, curl, wine_env, output, requests):
        """Transfer times curl reports itself (its process start left out)."""
        command = [] if wine_env is None else ["bash", WINE_RUN]
        command += [curl, "-s", "-S"]
        for number, (url, data) in enumerate(requests):
            if number:
                command.append("--next")
            command += ["-o", output, "-w", "%{time_total} %{size_download} %{http_code}\\n"]
            if data is not None:
                command += ["-d", data]
            command.append(url)
        times = []
        for line in self.run(command, wine_env).split("\n"):
            if line.strip():
                seconds, size, status = line.split()
                if status != "200":
                    raise RuntimeError("curl got %s" % status)
                times.append((float(seconds), int(size)))
        return times

    def transfer_figures(self, label, program, curl, wine_env):
        """One platform: the program's downloads and POST against curl's."""
        work = tempfile.mkdtemp(prefix="quarn-bench-transfer-")
        if wine_env is None:
            folder, null = work, "/dev/null"
        else:
            folder, null = "C:\\quarn-bench", "NUL"
        target = (folder + "\\curl.jpg") if wine_env else os.path.join(work, "curl.jpg")
        rounds = []  # per round: {figure: (ours seconds, curl seconds, bytes)}
        try:
            for _ in range(self.args.rounds):
                ours = {}
                command = ([] if wine_env is None else ["bash", WINE_RUN]) + [program, self.base, PICTURE, folder, "2"]
                for line in self.run(command, wine_env).split("\n"):
                    if line.strip():
                        name, seconds, size = line.split()
                        ours[name] = (float(seconds), int(size))
                get = min(self.curl_times(curl, wine_env, target, [(self.base + PICTURE, None)] * 2))
                post = min(self.curl_times(curl, wine_env, null, [(self.base + POST_PATH, "")] * POSTS_PER_ROUND))
                found = {}
                for name in ("DownloadToFile", "DownloadWithProgress"):
                    if name in ours:
                        if ours[name][1] != get[1]:
                            raise RuntimeError("%s wrote %d bytes, curl %d" % (name, ours[name][1], get[1]))
                        found[name] = (ours[name][0], get[0], get[1])
                found["PostFormWithTimeout"] = (ours["PostFormWithTimeout"][0], post[0], 0)
                rounds.append(found)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        for name in ("DownloadToFile", "DownloadWithProgress", "PostFormWithTimeout"):
            if name not in rounds[0]:
                continue
            pairs = [r[name] for r in rounds]
            # Throughput ours / curl; for the POST the same as curl's time / ours.
            ratio = statistics.median(theirs / ours for ours, theirs, _ in pairs)
            ours = statistics.median(p[0] for p in pairs)
            theirs = statistics.median(p[1] for p in pairs)
            size = pairs[0][2]
            if size:
                self.rows.append(Row("%s %s MB/s" % (label, name), size / ours / 1e6, size / theirs / 1e6, ratio,
                                     ">= 0.9", ratio >= 0.9))
            else:
                self.rows.append(Row("%s POST round trip ms" % label, ours * 1e3, theirs * 1e3, ratio, ">= 0.9",
                                     ratio >= 0.9))

    # ---- start-up ------------------------------------------------------------

    def replay_config(self, folder, base=None):
        """The start-up's requests as a curl config: the feeds, then the
        thumbnails, addressed to `base` (a relay in front of the service) when given."""
        self.control("clearlog")
        self.run([self.startup, self.base, "--rounds", "1", "--latency", "0"])
        entries = self.control("log")["entries"]
        feeds, thumbnails, seen = [], [], set()
        for entry in entries:
            key = (entry["method"], entry["target"], entry["body"])
            if key in seen or entry["path"] == "/" + PICTURE:
                continue
            seen.add(key)
            (feeds if entry["method"] == "POST" else thumbnails).append(key)
        lines = []
        for number, (method, target, body) in enumerate(feeds + thumbnails):
            if number:
                lines.append("next")
            lines.append('url = "%s%s"' % ((base or self.base).rstrip("/"), target))
            lines.append('output = "%s/out/%d"' % (folder, number))
            if method == "POST":
                lines.append('data = "%s"' % body.replace("\\", "\\\\").replace('"', '\\"'))
        path = os.path.join(folder, "replay.cfg")
        with open(path, "w") as config:
            config.write("\n".join(lines) + "\n")
        return path, len(feeds), len(thumbnails)

    def startup_figure(self, parallel, goal):
        folder = tempfile.mkdtemp(prefix="quarn-bench-replay-")
        try:
            config, feeds, thumbnails = self.replay_config(folder)
            # --parallel-immediate: a new connection for each transfer at
            # once, as the program's workers do, rather than waiting to see
            # whether one could be shared (HTTP/1.1 answers here never are).
            peer = "curl -s -S --parallel --parallel-immediate --parallel-max %d -K %s" % (parallel, shlex.quote(config))
            output = self.run([self.startup, self.base, "--latency", str(self.args.latency), "--rounds",
                               str(self.args.startup_rounds), "--parallel", str(parallel), "--peer", peer,
                               "--peer-idle", "curl -s --version > /dev/null",
                               # Fresh files each round, as the program's cache folder is.
                               "--peer-setup", "rm -rf %s/out && mkdir %s/out" % (shlex.quote(folder), shlex.quote(folder))])
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        match = re.search(r"^startup-figure (\S+) (\S+) (\S+) (\S+)$", output, re.M)
        if not match:
            raise RuntimeError("startup_bench printed no figure:\n" + output)
        ours, peer_time, ideal = (float(v) * 1e3 for v in match.groups()[:3])
        ratio = float(match.group(4))  # the median of the rounds' ratios
        self.rows.append(Row("start-up ms, %d ms latency, %d at a time" % (self.args.latency, parallel), ours,
                             peer_time, ratio, "<= %.1f" % goal, ratio <= goal))
        self.rows[-1].ideal = ideal
        self.notes.append("start-up %d at a time: %d feeds + %d thumbnails; computed ideal %.1f ms "
                          "(3 x latency + bytes at loopback speed), Quarn / ideal %.2f"
                          % (parallel, feeds, thumbnails, ideal, ours / ideal))

    def relay_figure(self, rtt, parallel, goal):
        """Start-up through the round-trip relay, against the curl tool
        replaying the same requests with --parallel, which keeps and shares
        its connections as a browser does."""
        relay = "http://127.0.0.1:%d/" % (self.args.port + 5000)
        subprocess.run(["bash", SERVICE, "restart", "--port", str(self.args.port), "--rtt-ms", str(rtt)],
                       check=True, stdout=subprocess.DEVNULL)
        folder = tempfile.mkdtemp(prefix="quarn-bench-relay-")
        try:
            config, feeds, thumbnails = self.replay_config(folder, relay)
            peer = "curl -s -S --parallel --parallel-max %d -K %s" % (parallel, shlex.quote(config))
            output = self.run([self.startup, relay, "--latency", "0", "--rtt", str(rtt), "--rounds",
                               str(self.args.relay_rounds), "--parallel", str(parallel), "--peer", peer,
                               "--peer-idle", "curl -s --version > /dev/null",
                               "--peer-setup", "rm -rf %s/out && mkdir %s/out" % (shlex.quote(folder), shlex.quote(folder))])
        finally:
            shutil.rmtree(folder, ignore_errors=True)
            subprocess.run(["bash", SERVICE, "restart", "--port", str(self.args.port)], check=True,
                           stdout=subprocess.DEVNULL)
        match = re.search(r"^startup-figure (\S+) (\S+) (\S+) (\S+)$", output, re.M)
        if not match:
            raise RuntimeError("startup_bench printed no figure:\n" + output)
        ours, peer_time, ideal = (float(v) * 1e3 for v in match.groups()[:3])
        ratio = float(match.group(4))
        self.rows.append(Row("start-up ms, relay %d ms, %d at a time" % (rtt, parallel), ours, peer_time, ratio,
                             "<= %.1f" % goal, ratio <= goal))
        self.rows.append(Row("start-up ms, relay %d ms, %d at a time, to the floor" % (rtt, parallel), ours, ideal,
                             ours / ideal, "<= 1.5", ours / ideal <= 1.5))
        self.notes.append("relay %d ms: %d feeds + %d thumbnails over plain HTTP through rtt_shim.py; floor "
                          "%.1f ms (a handshake and three request round trips + bytes at loopback speed)"
                          % (rtt, feeds, thumbnails, ideal))

    def tls_relay_figure(self, rtt, parallel, goal, wine_env):
        """Start-up under Wine through the round-trip relay and the TLS front,
        as the program starts after its first run (the kept category list
        starts the feeds while the fresh one is asked for; feeds, thumbnails)
        without connections, against the Windows curl tool replaying the same
        requests with --parallel."""
        port = self.args.port
        relay = "https://127.0.0.1:%d/" % (port + 5000)
        subprocess.run(["bash", SERVICE, "restart", "--port", str(port), "--tls", "--rtt-ms", str(rtt)],
                       check=True, stdout=subprocess.DEVNULL)
        folder = tempfile.mkdtemp(prefix="quarn-bench-tls-relay-")
        try:
            config, feeds, thumbnails = self.replay_config(folder, relay)
            with open(config) as text:
                replay = text.read()
            # The tool writes Windows paths: the machine's root is drive Z:. Forward
            # slashes, as its configuration file reads a backslash as an escape.
            replay = replay.replace('output = "%s/out/' % folder, 'output = "Z:%s/out/' % os.path.abspath(folder))
            with open(config, "w") as text:
                text.write(replay)
            curl, out = windows_path(self.args.curl_exe), windows_path(os.path.join(folder, "out"))
            # Run by the Windows command interpreter inside Wine, with as many
            # at a time as the program's queue runs over HTTP/2.
            peer = "%s -s -S --parallel --parallel-max %d -K %s" % (curl, program_multiplexed_cap(),
                                                                 windows_path(config))
            output = self.run(["bash", WINE_RUN, self.wine_startup, relay, "--latency", "0", "--rtt", str(rtt),
                               "--handshake-rtts", str(TLS_HANDSHAKE_RTTS),
                               "--drop-url", "http://127.0.0.1:%d/" % (port + 6000), "--rounds",
                               str(self.args.relay_rounds), "--parallel", str(parallel), "--peer", peer,
                               "--peer-idle", "%s -s --version > NUL" % curl,
                               "--peer-setup", "rmdir /s /q %s & mkdir %s" % (out, out)],
                              wine_env)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
            subprocess.run(["bash", SERVICE, "restart", "--port", str(port)], check=True,
                           stdout=subprocess.DEVNULL)
        match = re.search(r"^startup-figure (\S+) (\S+) (\S+) (\S+)$", output, re.M)
        if not match:
            raise RuntimeError("startup_bench.exe printed no figure:\n" + output)
        ours, peer_time, ideal = (float(v) * 1e3 for v in match.groups()[:3])
        ratio = float(match.group(4))
        label = "Wine start-up ms, TLS relay %d ms, cap %d" % (rtt, parallel)
        self.rows.append(Row(label, ours, peer_time, ratio, "<= %.1f" % goal, ratio <= goal))
        self.rows.append(Row(label + ", to the floor", ours, ideal, ours / ideal, "<= 1.5", ours / ideal <= 1.5))
        self.notes.append("TLS relay %d ms: the category list kept, %d feeds + %d thumbnails through rtt_shim.py and "
                          "the TLS front under wine64; floor %.1f ms (%d handshake and two request round trips + "
                          "bytes at the link's speed)" % (rtt, feeds, thumbnails, ideal, TLS_HANDSHAKE_RTTS))

    # ---- parsing and paint ---------------------------------------------------

    def parse_figures(self):
        output = self.run(["bash", os.path.join(ROOT, "bench", "run-parse-bench.sh"), self.args.native])
        bare = float(re.search(r"bare jsoncpp parse:\s+(\S+) ms", output).group(1))
        store = float(re.search(r"parse and store:\s+(\S+) ms", output).group(1))
        self.rows.append(Row("parse + store 1000 items ms", store, bare, store / bare, "<= 1.3", store / bare <= 1.3))
        # The same rounds by the thread's processor time: on a shared machine
        # the wall time also holds whatever else ran meanwhile.
        match = re.search(r"processor time: bare (\S+) ms, parse and store (\S+) ms", output)
        bare_cpu, store_cpu = float(match.group(1)), float(match.group(2))
        self.rows.append(Row("parse + store 1000 items processor ms", store_cpu, bare_cpu, store_cpu / bare_cpu,
                             "<= 1.3", store_cpu / bare_cpu <= 1.3))
        match = re.search(r"instructions: bare (\d+), parse and store (\d+)", output)
        bare_i, store_i = int(match.group(1)), int(match.group(2))
        self.rows.append(Row("parse + store Minstructions", store_i / 1e6, bare_i / 1e6, store_i / bare_i, "<= 1.3",
                             store_i / bare_i <= 1.3))

    def paint_figures(self, wine_env):
        bin_dir = os.path.join(self.args.windows, "bin")
        gallery = self.run(["bash", WINE_RUN, os.path.join(bin_dir, "skinkit_paint_bench.exe")], wine_env)
        match = re.search(r"full repaint (\S+) ms, bare BitBlt (\S+) ms", gallery)
        paint, blit = float(match.group(1)), float(match.group(2))
        self.rows.append(Row("gallery full repaint ms", paint, blit, paint / blit, "<= 16.7 ms", paint <= 16.7))
        viewer = self.run(["bash", WINE_RUN, os.path.join(bin_dir, "skinkit_viewer_bench.exe")], wine_env)
        match = re.search(r"decoded picture kept (\S+) ms \((\d+) decodes\), decoded every paint (\S+) ms", viewer)
        kept, every = float(match.group(1)), float(match.group(3))
        self.rows.append(Row("viewer paint 1920x1200 ms", kept, every, kept / every, "<= 16.7 ms", kept <= 16.7))
        self.notes.append("paint: reference is a bare BitBlt of the same size (gallery) and the same paint "
                          "decoding the picture every time (viewer); medians of the programs' frames")

    def browse_figure(self, wine_env):
        """Private bytes once every category, the hot tags and the featured
        users were browsed, against the same process's before its window
        (Wine and the libraries alone), on a display of its own size. The
        program runs stripped, as the installer ships it: Wine may count an
        image's debug sections (tens of MB in this build) as private bytes."""
        program = os.path.join(self.args.windows, "bin", "quarn_browse_bench.exe")
        if not os.path.exists(program):
            self.notes.append("browsing: not run (quarn_browse_bench.exe not built)")
            return
        stripped = os.path.join(self.args.windows, "bin", "quarn_browse_bench_stripped.exe")
        subprocess.run(["x86_64-w64-mingw32-objcopy", "--strip-debug", program, stripped], check=True)
        env = dict(wine_env)
        display = start_display(env, "1920x1080x24")
        try:
            output = self.run(["bash", WINE_RUN, stripped], env)
            unstripped = self.run(["bash", WINE_RUN, program], env)
        finally:
            display.terminate()
            display.wait(10)
            os.remove(stripped)
        pattern = r"private bytes after browsing (\S+) MB"
        steps = re.findall(r"private after (.+?)\s+(\S+) MB", output)
        after = float(re.search(pattern, output).group(1))
        libraries = float(dict(steps)["the libraries"])
        self.rows.append(Row("private MB after browsing (Wine, stripped)", after, libraries, after / libraries,
                             "< 60 MB", after < 60))
        self.paint_rows(output)
        self.notes.append("browsing: the reference is the same process before its window (Wine and the libraries); "
                          "private bytes step by step: " + ", ".join("%s %s" % (step, mb) for step, mb in steps)
                          + "; the build with its debug sections: %s MB" % re.search(pattern, unstripped).group(1))

    def paint_rows(self, output):
        """The main window's repaints at 1920 x 1080: the full one (strip open
        over a category, the user list shown) against a bare full-screen
        BitBlt, and the one after the pointer moved to the next category
        button against a bare window's full repaint."""
        match = re.search(r"full repaint with the strip open (\S+) ms \(\d+ thumbnail decodes\), bare BitBlt (\S+) ms",
                          output)
        repaint, blit = float(match.group(1)), float(match.group(2))
        bare = float(re.search(r"a bare window's full repaint \(one BitBlt in its paint\) (\S+) ms", output).group(1))
        handler = float(re.search(r"the paint handler alone (\S+) ms", output).group(1))
        hover = re.search(r"hover repaint (\S+) ms \(the move's handling (\S+) ms, the paint (\S+) ms\)", output)
        total, move, paint = (float(v) for v in hover.groups())
        self.rows.append(Row("main window full repaint ms (Wine)", repaint, blit, repaint / blit, "<= 6 ms",
                             repaint <= 6))
        self.rows.append(Row("main window full repaint, to a bare window's", repaint, bare, repaint / bare, "-", None))
        self.rows.append(Row("hover repaint, next category button ms", total, bare, total / bare, "<= 2 ms",
                             total <= 2))
        step = re.search(r"step to the next picture (\S+) ms, a decode and draw of it (\S+) ms", output)
        if step and float(step.group(2)) > 0:
            ours, reference = float(step.group(1)), float(step.group(2))
            self.rows.append(Row("step to the next picture ms, 1 a second", ours, reference, ours / reference,
                                 "<= 0.2", ours / reference <= 0.2))
            parts = re.search(r"of a step, the key's handling (\S+) ms, the first frame's paint (\S+) ms", output)
            self.notes.append("step: the key press and every paint until the new picture is drawn settled (the swap's "
                              "ten full-window frames included, its waits left out); of it the key's handling %s ms, "
                              "the first frame (the comment view drawn anew) %s ms; the reference decodes the "
                              "picture and draws it at its shown size with GDI+" % parts.groups())
        self.notes.append("repaints: the full one's paint handler alone %.2f ms, outside it (update, surface flush) "
                          "%.2f ms; the hover's move handling %.2f ms, its paint %.2f ms; a bare window's full "
                          "repaint %.2f ms, a bare BitBlt %.2f ms" % (handler, repaint - handler, move, paint, bare,
                                                                      blit))

    def window_figure(self):
        """Process start to the first painted main window against a bare window,
        and to the home feed's first picture painted large (the service adding
        its latency) against the bare window plus the picture's two round trips
        and one decode of it; the rounds of both sides take turns."""
        bin_dir = os.path.join(self.args.windows, "bin")
        bare = os.path.join(self.args.windows, "bench", "window", "bare_window.exe")
        probe = os.path.join(self.args.windows, "tests", "e2e", "quarn_probe.exe")
        if not os.path.exists(os.path.join(bin_dir, "Quarn.exe")) or not os.path.exists(bare):
            self.notes.append("window start-up: not run (Quarn.exe or bare_window.exe not built)")
            return
        env = dict(os.environ, QUARN_SERVICE_URL=self.base)
        command = [sys.executable, os.path.join(ROOT, "bench", "window", "run-window-start-bench.py"),
                   "--bin", bin_dir, "--bare", bare, "--rounds", "5"]
        if os.path.exists(probe):
            command += ["--probe", probe, "--latency", str(self.args.latency)]
        output = self.run(command, env)
        match = re.search(r"Quarn.exe (\S+) ms, bare window (\S+) ms", output)
        quarn, bare_ms = float(match.group(1)), float(match.group(2))
        self.rows.append(Row("first painted main window ms (Wine)", quarn, bare_ms, quarn / bare_ms, "<= 2.0",
                             quarn / bare_ms <= 2.0))
        home = re.search(r"home picture painted large, \d+ ms latency: Quarn.exe (\S+) ms, reference (\S+) ms "
                         r"(\(.*?\))", output)
        if not home:
            self.notes.append("home picture: not run (quarn_probe.exe not built)")
            return
        ours, reference = float(home.group(1)), float(home.group(2))
        self.rows.append(Row("home picture painted large ms, %d ms latency" % self.args.latency, ours, reference,
                             ours / reference, "<= 1.5", ours / reference <= 1.5))
        self.notes.append("home picture: from the process start to the home feed's first picture shown large "
                          "(flat patches of it read off the screen), picture cache emptied; the reference is "
                          + home.group(3).strip("()") + ", all ms, medians of rounds taken in turns")

    def soak_figures(self):
        """Memory, handles, GDI objects and threads of the real program over a
        long run under wine64 (bench/soak/run-soak-bench.py): after 100 pictures
        is the reference of after the last one."""
        bin_dir = os.path.join(self.args.windows, "bin")
        probe = os.path.join(self.args.windows, "tests", "e2e", "quarn_probe.exe")
        if not os.path.exists(os.path.join(bin_dir, "Quarn.exe")) or not os.path.exists(probe):
            self.notes.append("soak: not run (Quarn.exe or quarn_probe.exe not built)")
            return
        # A prefix of its own: the journeys' would be ended under a running test.
        cache = os.path.join(os.environ.get("QUARN_WINE_CACHE", "/var/cache/quarn-wine"), "soak-bench")
        env = dict(os.environ, QUARN_SERVICE_URL=self.base, QUARN_WINE_CACHE=cache)
        output = self.run([sys.executable, os.path.join(ROOT, "bench", "soak", "run-soak-bench.py"), "--bin", bin_dir,
                           "--probe", probe, "--pictures", str(self.args.soak_pictures)], env, timeout=4 * 3600)
        readings = {}
        for line in output.splitlines():
            match = re.match(r"soak: (\d+ pictures|resting|rested)\s+private\s+(\S+) MB\s+handles\s+(\d+)\s+"
                             r"threads\s+(\d+)\s+gdi\s+(\d+)", line)
            if match:
                readings[match.group(1)] = [float(v) for v in match.groups()[1:]]
        first, last = readings["100 pictures"], readings["%d pictures" % self.args.soak_pictures]
        rest, end = readings["resting"], readings["rested"]
        label = "soak %d pictures:" % self.args.soak_pictures
        self.rows.append(Row("%s private MB" % label, last[0], first[0], last[0] / first[0], "<= +10 MB",
                             last[0] <= first[0] + 10))
        for name, index in (("handles", 1), ("GDI objects", 3)):
            ratio = last[index] / first[index]
            self.rows.append(Row("%s %s" % (label, name), last[index], first[index], ratio, "+-5 %",
                                 abs(ratio - 1) <= 0.05))
        self.rows.append(Row("%s threads at rest" % label, end[2], rest[2], end[2] / rest[2], "= resting",
                             end[2] <= rest[2]))
        self.notes.append("soak: the reference column is the reading after 100 pictures (threads: at rest after "
                          "start-up); private bytes are the process's anonymous memory as Linux counts it, handles "
                          "Wine's system handle list, GDI objects Wine's GDI handle table (Wine reports none of the "
                          "three for another process)")

    # ---- the table -----------------------------------------------------------

    def print_table(self):
        print()
        print("%-44s %10s %10s %10s %7s %-10s %s" % ("figure", "Quarn", "reference", "ideal", "ratio", "goal", "met"))
        for row in self.rows:
            ideal = getattr(row, "ideal", None)
            print("%-44s %10.2f %10.2f %10s %7.2f %-10s %s" % (
                row.figure, row.ours, row.reference, "%.2f" % ideal if ideal is not None else "-", row.ratio,
                row.goal, "-" if row.met is None else "yes" if row.met else "NO"))
        for note in self.notes:
            print("  " + note)
        goals = [r for r in self.rows if r.met is not None]
        print("bench: %d of %d goals met" % (sum(r.met for r in goals), len(goals)))


def windows_path(path):
    """A path of this machine as Wine's programs see it, on drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def trust_test_authority(windows, wine_env):
    """The TLS front's authority, trusted in the benchmarks' prefix only."""
    program = os.path.join(windows, "tools", "tlstrust", "quarn_trust_ca.exe")
    subprocess.run(["bash", os.path.join(ROOT, "tools", "localservice", "trust-test-authority.sh"), program],
                   env=wine_env, check=True, stdout=subprocess.DEVNULL)


def wine_environment(args):
    env = dict(os.environ)
    prefix = subprocess.run(["bash", os.path.join(ROOT, "tools", "wine-prefix.sh")], env=env, capture_output=True,
                            text=True, check=True).stdout.strip().splitlines()[-1]
    env["WINEPREFIX"] = prefix
    return env


def start_display(env, screen="1280x800x24"):
    read_end, write_end = os.pipe()
    process = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten",
                                "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        env["DISPLAY"] = ":" + numbers.readline().strip()
    return process


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--curl-exe", required=True)
    parser.add_argument("--port", type=int, default=int(os.environ.get("QUARN_BENCH_PORT", "8712")))
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--startup-rounds", type=int, default=11)
    parser.add_argument("--latency", type=int, default=20)
    parser.add_argument("--parallel", type=int, action="append",
                        help="download queue caps to start up with (default: the program's and 64)")
    parser.add_argument("--relay-rounds", type=int, default=5)
    parser.add_argument("--rtt", type=int, action="append", help="relay round trips (default 20, 60, 150 ms)")
    parser.add_argument("--soak-pictures", type=int, default=1000, help="pictures the soak steps through")
    parser.add_argument("--only", default="transfer,startup,relay,tlsrelay,parse,paint,browse,window,soak")
    args = parser.parse_args()
    parts = args.only.split(",")

    bench = Bench(args)
    bench.startup = os.path.join(args.native, "bench", "startup_bench")
    subprocess.run(["bash", SERVICE, "restart", "--port", str(args.port)], check=True, stdout=subprocess.DEVNULL)
    wine_env, display, server = None, None, None
    try:
        if "transfer" in parts or "paint" in parts or "browse" in parts or "tlsrelay" in parts:
            wine_env = wine_environment(args)
            subprocess.run([WINESERVER, "-k"], env=wine_env, stderr=subprocess.DEVNULL)
            # One server for every Wine run, so none of them pays for starting it.
            server = subprocess.Popen([WINESERVER, "-f", "-p"], env=wine_env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        def attempt(name, work):
            # One benchmark failing leaves the others' rows standing.
            try:
                work()
            except Exception as error:  # noqa: BLE001 -- reported in the table's notes
                bench.notes.append("%s: not measured: %s" % (name, str(error).strip().splitlines()[-1:]))

        if "transfer" in parts:
            attempt("native transfers", lambda: bench.transfer_figures(
                "native", os.path.join(args.native, "bench", "transport", "download_bench"), "curl", None))
            attempt("Wine transfers", lambda: bench.transfer_figures(
                "Wine", os.path.join(args.windows, "bench", "transport", "download_bench.exe"), args.curl_exe,
                wine_env))
            bench.notes.append("transfers: %d interleaved rounds; in each, each side's best of 2 downloads and of "
                               "%d POSTs; the ratio is the median of the rounds' ratios, the columns the medians of "
                               "each side; curl's own time_total, so neither side pays its process start" % (
                                   args.rounds, POSTS_PER_ROUND))
        if "startup" in parts:
            # The program's cap, and the download queue's own default.
            for parallel in args.parallel or sorted({program_download_cap(), 64}):
                attempt("start-up", lambda: bench.startup_figure(parallel, 1.0))
            bench.notes.append("start-up: %d rounds, Quarn and the peer taking turns to go first; the columns are "
                               "each side's median, the ratio the median of the rounds' ratios" % args.startup_rounds)
        if "relay" in parts:
            for rtt in args.rtt or [20, 60, 150]:
                attempt("relay start-up", lambda: bench.relay_figure(rtt, program_download_cap(), 1.0))
            bench.notes.append("relay: %d rounds each, Quarn and the curl tool taking turns" % args.relay_rounds)
        if "tlsrelay" in parts:
            bench.wine_startup = os.path.join(args.windows, "bench", "startup_bench.exe")
            attempt("TLS authority", lambda: trust_test_authority(args.windows, wine_env))
            for rtt in args.rtt or [20, 60, 150]:
                attempt("Wine TLS relay start-up",
                        lambda: bench.tls_relay_figure(rtt, program_download_cap(), 1.0, wine_env))
            bench.notes.append("TLS relay: %d rounds each, Quarn's transport (startup_bench.exe) and the Windows curl "
                               "tool taking turns, both under wine64" % args.relay_rounds)
        if "parse" in parts:
            attempt("parsing", bench.parse_figures)
        if "paint" in parts:
            display = start_display(wine_env)
            attempt("paint", lambda: bench.paint_figures(wine_env))
        if "browse" in parts:
            attempt("browsing", lambda: bench.browse_figure(wine_env))
        if "window" in parts:
            if server:  # the window figure keeps a server of its own prefix
                subprocess.run([WINESERVER, "-k"], env=wine_env, stderr=subprocess.DEVNULL)
                server.wait(30)
                server = None
            attempt("window start-up", bench.window_figure)
        if "soak" in parts:
            if server:  # the soak's prefix is its own as well
                subprocess.run([WINESERVER, "-k"], env=wine_env, stderr=subprocess.DEVNULL)
                server.wait(30)
                server = None
            attempt("soak", bench.soak_figures)
    finally:
        if display:
            display.terminate()
            display.wait(10)
        if server:
            subprocess.run([WINESERVER, "-k"], env=wine_env, stderr=subprocess.DEVNULL)
            server.wait(30)
        subprocess.run(["bash", SERVICE, "stop", "--port", str(args.port)], stdout=subprocess.DEVNULL)
    bench.print_table()
    return 0


def program_download_cap():
    """The cap the Windows program gives its download queue."""
    source = os.path.join(ROOT, "client", "mainwindow", "client_services.cpp")
    match = re.search(r"kParallelDownloads = (\d+);", open(source).read())
    return int(match.group(1)) if match else 64


def program_multiplexed_cap():
    """How many downloads the queue runs at once over HTTP/2."""
    source = os.path.join(ROOT, "client", "service", "cache_downloader.h")
    match = re.search(r"kMultiplexedDownloads = (\d+);", open(source).read())
    return int(match.group(1)) if match else 64


if __name__ == "__main__":
    sys.exit(main())
