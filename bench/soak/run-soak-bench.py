#!/usr/bin/env python3
"""The soak figure under wine64: Quarn.exe signed in and driven by pointer and
keyboard against the local service through a long run: pictures stepped
through across every category, the hot tags' feeds and the user's own lists,
comment lists opened and scrolled, likes and comments sent, the user menu
opened and closed. The program's counters are read after 100 and after
1,000 pictures, and once it has rested at the end.

    run-soak-bench.py --bin BIN_DIR --probe QUARN_PROBE_EXE [--pictures N] [--ledger DIR]

Prints one line per reading and a last line
    soak: private +X MB, handles A->B, gdi C->D, threads E (rest F)
Counters come from quarn_probe.exe stats: private bytes, handle count and
thread count as Wine reports them; GDI objects from Wine's GDI handle table
of the process (Wine's GetGuiResources counts nothing), checked first by the
probe's gdi-selftest. With --ledger, each reading also keeps the program's
list of live off-screen surfaces by the call stack that made them
(ledger-LABEL.txt in DIR).
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from quarn_e2e import SCREEN, WINE_RUN, Eyes, Journey, JourneyError, check, poll  # noqa: E402

MAIN = "Vorlane"
INPUT = "发表评论"
WIDTH = SCREEN[0]
DEMO_DIGEST = hashlib.md5(b"quarn123").hexdigest()
CONFIG = ('<login username="demo@quarn.test" password="%s" bLogined="true" isRememberPwd="true" uid="1001" '
          'token="stale" isAutoLogin="true" />' % DEMO_DIGEST)
TABS = {"categories": (460, 16), "hot": (546, 16)}
AVATAR = (WIDTH - 172, 19)
MENU_BADGE = (WIDTH - 70, 52)
MENU_ITEMS = {"published": (WIDTH - 150, 66), "liked": (WIDTH - 150, 98)}
USER_NAME = (WIDTH - 145, 10, 77, 15)
# The comment view: 480 wide, 24 from the right, from y 138.
L, T, R = SCREEN[0] - 504, 138, SCREEN[0] - 24
CLOSED_ROW = T + 96
LIKE_X, COMMENT_X = R - 208, R - 432
CONFIRM = ((L + R) // 2 - 86, T + 152)
LIST_MIDDLE = ((L + R) // 2, SCREEN[1] - 200)
FIRST_THUMBNAIL = (100, 70)
PICTURES_PER_CATEGORY = 24
LEDGER_PERIOD = 2.5


def category_centre(index):
    gap = (WIDTH - 8 * 130) // 9
    return gap * (index + 1) + 130 * index + 65, 80


def is_lagoon(pixel):
    r, g, b = pixel
    return r < 40 and 140 < g < 185 and b > 200


class Soak:
    def __init__(self, j, probe, pictures, ledger=None):
        self.j = j
        self.ledger = ledger
        self.probe_exe = probe
        self.goal = pictures
        self.pictures = 0
        self.menus = 0
        self.likes = 0
        self.comments = 0
        self.scrolled = 0
        self.like_owed = False
        self.readings = {}

    # ---- the probe --------------------------------------------------------------
    def probe(self, *steps):
        env = dict(os.environ, DISPLAY=self.j.display.name, WINEPREFIX=self.j.prefix)
        result = subprocess.run(["bash", WINE_RUN, self.probe_exe] + list(steps), env=env, capture_output=True,
                                text=True, timeout=60)
        check(result.returncode == 0, "quarn_probe %s: %s %s" % (" ".join(steps), result.stdout, result.stderr))
        return result.stdout.strip().splitlines()[-1]

    def stats(self):
        values = {k: int(v) if v.lstrip("-").isdigit() else v
                  for k, v in (part.split("=", 1) for part in self.probe("stats").split())}
        values["anon"] = self.anonymous_bytes()
        return values

    def anonymous_bytes(self):
        """Private memory as Linux counts it for the program's process (its
        anonymous resident pages and their swap): Wine reports no private
        bytes for another process."""
        folder = self.j.program.folder.encode()
        for pid in (p for p in os.listdir("/proc") if p.isdigit()):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    command = f.read()
                if b"Quarn.exe" not in command or (folder not in command and b"program" not in command):
                    continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if ("WINEPREFIX=" + self.j.prefix).encode() not in f.read().split(b"\0"):
                        continue
                fields = {}
                with open("/proc/%s/status" % pid) as f:
                    for line in f:
                        key, _, value = line.partition(":")
                        fields[key] = value.split()
                if "RssAnon" in fields:
                    return (int(fields["RssAnon"][0]) + int(fields.get("VmSwap", ["0"])[0])) * 1024
            except OSError:
                continue
        raise JourneyError("no process of Quarn.exe found in /proc")

    def reading(self, label):
        values = self.stats()
        if self.ledger:
            time.sleep(LEDGER_PERIOD)  # the program rewrites it this often
            shutil.copy(os.path.join(self.ledger, "surfaces.txt"),
                        os.path.join(self.ledger, "ledger-%s.txt" % label.replace(" ", "-")))
        self.readings[label] = values
        print("soak: %-14s private %7.1f MB  handles %5d  threads %3d  gdi %5d  "
              "(Wine: private %d, handles %d, GetGuiResources %d)  "
              "pictures %d  comment lists %d  likes %d  comments %d  menus %d  GDI by type %s" % (
                  label, values["anon"] / 1e6, values["handle_list"], values["threads"], values["gdi_table"],
                  values["private"], values["handles"], values["gdi"], self.pictures, self.comment_lists(),
                  self.likes, self.comments, self.menus, values.get("gdi_types", "-")),
              flush=True)
        return values

    def comment_lists(self):
        return len(self.j.service.requests("c_comment_list", self.start_seq))

    # ---- hands ------------------------------------------------------------------
    def show_picture_step(self, press):
        """One more picture: `press` moves on, the comments the program asks
        for show that it did."""
        since = self.j.service.mark()
        press()
        try:
            poll(lambda: self.j.service.requests("c_comment_list", since), 10, "the next picture's comments")
        except JourneyError:
            return False  # the end of a list: nothing new to show
        self.pictures += 1
        self.every_picture()
        return True

    def every_picture(self):
        # Once between pictures: a menu shown again at once opens only after
        # seconds, which would make the run an hour long.
        if self.pictures % 5 == 0 and self.menus < 200:
            self.open_user_menu()
        if self.pictures % 10 == 0 and self.scrolled < 100:
            self.scroll_comments()
        # A like of one's own picture sends nothing: the next picture gets it.
        if (self.pictures % 20 == 0 or self.like_owed) and self.likes < 50:
            self.like_owed = not self.like()
        if self.pictures % 20 == 10 and self.comments < 50:
            self.comment()
        if self.pictures == 100:
            self.reading("100 pictures")
        elif self.pictures % 100 == 0 and self.pictures < self.goal:
            self.reading("%d pictures" % self.pictures)

    def menu_shown(self):
        return is_lagoon(self.j.pixels(self.main, *MENU_BADGE, 1, 1)[0][0])

    def show_user_menu(self):
        """Rests the pointer on the avatar until the menu hangs from it: a
        pointer that arrives while the last one still closes may go unseen."""
        j, main = self.j, self.main
        for _ in range(3):
            j.hover(main, WIDTH // 2, SCREEN[1] // 2)
            j.hover(main, AVATAR[0] - 4, AVATAR[1])
            j.hover(main, *AVATAR)
            try:
                return poll(self.menu_shown, 5, "the user menu")
            except JourneyError:
                continue
        raise JourneyError("the user menu did not open")

    def open_user_menu(self):
        j, main = self.j, self.main
        self.show_user_menu()
        j.hover(main, WIDTH // 2, SCREEN[1] // 2)
        poll(lambda: not self.menu_shown(), 10, "the user menu to close")
        self.menus += 1

    def scroll_comments(self):
        self.j._xdotool("mousemove", "--sync", "--window", self.main, *LIST_MIDDLE)
        self.j._xdotool("click", 5)
        self.j._xdotool("click", 4)
        self.scrolled += 1

    def like(self):
        since = self.j.service.mark()
        self.j.click(self.main, LIKE_X, CLOSED_ROW)
        try:
            self.j.service.wait_request("a=fav", since, timeout=5)
            self.likes += 1
            return True
        except JourneyError:
            return False  # the user's own picture: nothing is sent

    def comment(self):
        j = self.j
        since = j.service.mark()
        j.click(self.main, COMMENT_X, CLOSED_ROW)
        field = j.find_window(INPUT, timeout=10)
        j.key(field, "ctrl+a")
        j.type(field, "soak %d" % self.comments)
        j.click(self.main, *CONFIRM)
        j.service.wait_request("c_comment&", since, timeout=10)
        self.comments += 1
        # Closes the input, so the next like and comment find their buttons.
        j.click(self.main, COMMENT_X, T + 46)

    # ---- the lists --------------------------------------------------------------
    def choose_tab(self, tab, request):
        """Clicks a tab until it shows: the categories' light band, another
        tab's request."""
        j, main = self.j, self.main
        since = j.service.mark()
        shown = {"categories": lambda: min(j.pixels(main, 10, 120, 1, 1)[0][0]) > 230}.get(
            tab, lambda: j.service.requests(request, since))
        for _ in range(3):
            j.click(main, *TABS[tab])
            try:
                return poll(shown, 5, "the %s tab" % tab)
            except JourneyError:
                continue
        raise JourneyError("the %s tab did not open" % tab)

    def step_through(self, first, limit):
        """Opens a list's first picture, then steps on with the arrow key."""
        if not self.show_picture_step(first):
            return
        for _ in range(limit - 1):
            if self.pictures >= self.goal:
                return
            if not self.show_picture_step(lambda: self.j.key(self.main, "Right")):
                return

    def categories(self):
        j, main = self.j, self.main
        for index in range(8):
            self.choose_tab("categories", "")
            self.step_through(lambda: j.click(main, *category_centre(index)), PICTURES_PER_CATEGORY)
            if self.pictures >= self.goal:
                return

    def own_list(self, item):
        j, main = self.j, self.main
        self.show_user_menu()
        since = j.service.mark()
        j.click(main, *MENU_ITEMS[item])
        j.service.wait_request("c_my_", since, timeout=10)
        # Across the first three slots: one picture's top row may be a single colour.
        poll(lambda: len({p for p in j.pixels(main, 60, 60, 320, 20) for p in p}) > 3, 15, "the list's thumbnails")
        self.step_through(lambda: j.click(main, *FIRST_THUMBNAIL), 12)

    def hot_tags(self):
        j, main = self.j, self.main
        since = j.service.mark()
        self.choose_tab("hot", "c_hot_tag")
        poll(lambda: len(j.service.requests("c_tag&tag=", since)) >= 5, 20, "the tag feeds")
        self.step_through(lambda: j.click(main, *FIRST_THUMBNAIL), 12)

    # ---- the run ------------------------------------------------------------------
    def run(self):
        j = self.j
        eyes = Eyes(j)
        j.pixels, j.screenshot = eyes.pixels, eyes.screenshot
        j.program.write_config(CONFIG)
        j.start()
        self.main = j.find_window(MAIN)
        self.start_seq = j.service.mark()
        poll(lambda: any(p != (255, 255, 255) for row in j.pixels(self.main, *USER_NAME) for p in row), 60,
             "the signed-in user's name")
        check("made=" in self.probe("gdi-selftest"), "the GDI handle table cannot be read")
        self.choose_tab("categories", "")
        time.sleep(5)  # the start-up downloads end
        self.reading("resting")
        rounds = 0
        while self.pictures < self.goal:
            before = self.pictures
            self.categories()
            for item in ("published", "liked"):
                if self.pictures < self.goal:
                    self.own_list(item)
            if self.pictures < self.goal:
                self.hot_tags()
            rounds += 1
            check(self.pictures > before, "no picture shown in round %d" % rounds)
        self.reading("%d pictures" % self.pictures)
        j.hover(self.main, WIDTH // 2, SCREEN[1] // 2)
        rest = self.readings["resting"]["threads"]
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and self.stats()["threads"] > rest:
            time.sleep(2)
        end = self.reading("rested")
        first, last = self.readings["100 pictures"], self.readings["%d pictures" % self.pictures]
        print("soak: private %+.1f MB, handles %d->%d, gdi %d->%d, threads %d at rest (resting %d)" % (
            (last["anon"] - first["anon"]) / 1e6, first["handle_list"], last["handle_list"], first["gdi_table"],
            last["gdi_table"], end["threads"], rest))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Quarn.exe, skinkit.dll and the skin")
    parser.add_argument("--probe", required=True, help="quarn_probe.exe")
    parser.add_argument("--pictures", type=int, default=1000)
    parser.add_argument("--artifacts", default=os.path.join(tempfile.gettempdir(), "quarn-soak"))
    parser.add_argument("--ledger", help="folder for the program's lists of live surfaces")
    args = parser.parse_args()
    if args.ledger:
        os.makedirs(args.ledger, exist_ok=True)
        args.ledger = os.path.abspath(args.ledger)
        os.environ["QUARN_SURFACE_LEDGER"] = "Z:" + os.path.join(args.ledger, "surfaces.txt").replace("/", "\\")
    try:
        with Journey("soak", args.bin, args.artifacts) as j:
            j.service.reset()
            Soak(j, args.probe, args.pictures, args.ledger).run()
    except (JourneyError, subprocess.TimeoutExpired) as error:
        print("soak: FAILED: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
