#!/usr/bin/env python3
"""The service misbehaves: Quarn.exe under Wine against the local service's
fault modes, one program start, the user signed in and browsing.

    fault_journeys.py --bin BIN_DIR --probe QUARN_PROBE_EXE --artifacts DIR

One row per fault. Each row switches the fault on, browses into it, checks
what the user is shown (a notice, the 离线 mark, a placeholder), switches the
service back to health and checks that browsing works again. Throughout a
row quarn_probe.exe sends the main window WM_NULL every 100 ms: none may take
a second. After every row vlconfig.xml is as it was and every kept answer is
still whole JSON.
"""
import glob
import hashlib
import json
import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import (SCREEN, WINE_RUN, Eyes, JourneyError, check, colourful, columns_where, greyish, is_red, poll,
                       run_journey)

MAIN = "Vorlane"
LOGIN = "登录Quarn"
WIDTH = SCREEN[0]
DEMO_DIGEST = hashlib.md5(b"quarn123").hexdigest()
CONFIG = ('<login username="demo@quarn.test" password="%s" bLogined="true" isRememberPwd="true" uid="1001" '
          'token="stale" isAutoLogin="true" />' % DEMO_DIGEST)

TABS = {"categories": (460, 16), "hot": (546, 16), "people": (632, 16)}
AVATAR = (WIDTH - 172, 19)
MENU_BADGE = (WIDTH - 70, 52)
PUBLISHED_ITEM = (WIDTH - 150, 66)
SIGN_OUT_ITEM = (WIDTH - 150, 258)
LOGIN_LINK = (WIDTH - 240, 20)
USER_NAME = (WIDTH - 145, 10, 77, 15)
OFFLINE_MARK = (362, 7, 44, 20)
CENTRE = (SCREEN[0] // 2 - 20, SCREEN[1] // 2 - 20, 40, 40)
# Login window: the name field, and the band the error text is centred in.
NAME_FIELD = (200, 89)
ERROR_BAND = (40, 18, 240, 26)
# The strip under a category button: 155-wide slots, the first from y 129.
SLOT_TOP = 129
SLOTS = 3


# --- what the user sees ----------------------------------------------------------

def category_centre(index):
    gap = (WIDTH - 8 * 130) // 9
    return gap * (index + 1) + 130 * index + 65, 80


def slot_area(index, k):
    left = category_centre(index)[0] - 65
    return left + 40, SLOT_TOP + 30 + 128 * k, 60, 40


def offline_mark_shown(j, main):
    """The mark's amber border."""
    return any(r > 200 and 120 < g < 200 and b < 90 for row in j.pixels(main, *OFFLINE_MARK) for r, g, b in row)


def user_name_shown(j, main):
    return any(p != (255, 255, 255) for row in j.pixels(main, *USER_NAME) for p in row)


def is_lagoon(pixel):
    r, g, b = pixel
    return r < 40 and 140 < g < 185 and b > 200


def login_error_columns(j, login):
    return [ERROR_BAND[0] + x for x in columns_where(j.pixels(login, *ERROR_BAND), is_red)]


def await_network_error(j):
    """The login window shows "网络错误！": narrower than "用户名或密码错误！"."""
    login = j.find_window(LOGIN, timeout=40)
    columns = poll(lambda: login_error_columns(j, login), j.seconds(40), "an error text in the login window")
    j.screenshot("login-error")
    check(100 <= columns[0] and columns[-1] <= 220,
          "the login error spans %d..%d: not 网络错误！" % (columns[0], columns[-1]))
    return login


# Wine on a display without a window manager holds ShowWindow(SW_HIDE) of an
# owned pop-up for two seconds, waiting for a manager to withdraw it (a bare
# window of a few lines does the same). The login window hides itself when
# its login starts: pings that fall into that wait are the display's, not the
# program's. Times are the monotonic clock in ms, as the probe's ticks.
HIDE_WAIT_MS = 2500
login_hides = []


def start_login(j, login):
    """Return in the login window: its login starts, and the window hides."""
    j.click(login, *NAME_FIELD)
    login_hides.append(time.monotonic() * 1000)
    j.key(login, "Return")


def sign_in_again(j, main, login):
    """Return in the login window sends the remembered login."""
    since = j.service.mark()
    start_login(j, login)
    poll(lambda: [e for e in j.service.requests("c_login", since) if e["status"] == 200], j.seconds(20),
         "a login the service answered")
    poll(lambda: user_name_shown(j, main), j.seconds(30), "the signed-in user's name")


def open_tab(j, main, tab, request):
    """Clicks a tab until the service hears the request it makes."""
    since = j.service.mark()
    for _ in range(3):
        j.click(main, *TABS[tab])
        try:
            return poll(lambda: j.service.requests(request, since), j.seconds(5), "the %s tab's request" % tab)
        except JourneyError:
            continue
    raise JourneyError("the %s tab asked for nothing" % tab)


def band_shown(j, main):
    """The light band the category buttons lie on."""
    return min(j.pixels(main, 10, 120, 1, 1)[0][0]) > 230


def open_categories(j, main):
    """Clicks the categories tab until its band shows."""
    for _ in range(3):
        j.click(main, *TABS["categories"])
        try:
            return poll(lambda: band_shown(j, main), j.seconds(5), "the category bar")
        except JourneyError:
            continue
    raise JourneyError("the categories tab did not open")


def open_user_menu(j, main):
    j.hover(main, WIDTH // 2, 300)
    j.hover(main, *AVATAR)
    poll(lambda: is_lagoon(j.pixels(main, *MENU_BADGE, 1, 1)[0][0]), j.seconds(10), "the user menu")


def drop_strip(j, main, index):
    """Rests the pointer on a category button: its strip drops and asks for
    the thumbnails the cache lacks."""
    open_categories(j, main)
    j.hover(main, WIDTH // 2, 300)
    j.hover(main, *category_centre(index))


def thumbnails_asked(j, since, count=SLOTS):
    poll(lambda: len({e["path"] for e in j.service.requests("_160x160.jpg", since)}) >= count, j.seconds(15),
         "%d thumbnails asked for" % count)


# --- the user's data ---------------------------------------------------------------

def user_data(j):
    users = [u for u in glob.glob(os.path.join(j.prefix, "drive_c", "users", "*")) if not u.endswith("Public")]
    check(len(users) == 1, "user folders in the prefix: %r" % users)
    return os.path.join(users[0], "AppData", "Roaming", "ostrel_quarn")


def forget_thumbnails(j):
    shutil.rmtree(os.path.join(user_data(j), "image", "beauties"), ignore_errors=True)


def kept_answers(j):
    """Every kept answer: name → bytes. A ".tmp" file is one being written,
    to be renamed over its answer."""
    kept = {}
    for path in glob.glob(os.path.join(user_data(j), "feeds", "**", "*"), recursive=True):
        if os.path.isfile(path) and not path.endswith(".tmp"):
            with open(path, "rb") as f:
                kept[os.path.relpath(path, user_data(j))] = f.read()
    return kept


def check_data_kept(j, config, before):
    check(j.program.config() == config, "vlconfig.xml changed:\n%s" % j.program.config().decode("utf-8", "replace"))
    now = kept_answers(j)
    for name in before:
        check(name in now, "the kept answer %s went" % name)
    for name, data in now.items():
        try:
            json.loads(data.decode("utf-8"))
        except ValueError:
            raise JourneyError("the kept answer %s is no JSON: %r" % (name, data[:80]))


def cached_thumbnails(j):
    folder = os.path.join(user_data(j), "image", "beauties")
    return [os.path.join(folder, n) for n in os.listdir(folder)] if os.path.isdir(folder) else []


# --- the hang watch ----------------------------------------------------------------

class Watch:
    """quarn_probe.exe pinging the main window until the row ends."""

    def __init__(self, j, probe):
        self.j = j
        self.stop_file = os.path.join(j.work, "stop-watch")
        if os.path.exists(self.stop_file):
            os.remove(self.stop_file)
        env = dict(os.environ, DISPLAY=j.display.name, WINEPREFIX=j.prefix)
        self.process = subprocess.Popen(["bash", WINE_RUN, probe, "watch:Z:" + self.stop_file.replace("/", "\\")],
                                        env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def finish(self, row):
        with open(self.stop_file, "w"):
            pass
        try:
            out, _ = self.process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
            raise JourneyError("row %s: the hang watch did not end" % row)
        lines = out.strip().splitlines()
        line = lines[-1] if lines else ""
        self.j.say("%s: %s" % (row, line))
        values = dict(part.split("=") for part in line.split())
        if int(values.get("pings", 0)) == 0:
            return "row %s: the main window was never pinged" % row
        if int(values.get("missing", 1)):
            return "row %s: the main window was gone (%s)" % (row, line)
        late = []
        for slow in lines[:-1]:
            self.j.say("  " + slow)
            ping = dict(part.split("=") for part in slow.split()[1:])
            tick, took = int(ping["tick"]), int(ping["took_ms"])
            # A ping sent just before the Return waits through the hide too.
            if took >= 1000 and not any(-1000 <= tick - hide <= HIDE_WAIT_MS for hide in login_hides):
                late.append(slow)
        if late:
            return "row %s: the main window did not answer within a second (%s)" % (row, "; ".join(late))
        return None


# --- the rows ------------------------------------------------------------------------

def row_down_at_start(j, main):
    """Started while the service was down (the start-up happened before the
    row's watch): the login window says 网络错误！; once the service is
    back, Return signs in and the tabs load."""
    login = await_network_error(j)
    check(not user_name_shown(j, main), "signed in while the service was down")
    j.service.fault("mode=normal")
    back = j.service.mark()
    sign_in_again(j, main, login)
    open_tab(j, main, "hot", "c_hot_tag")
    poll(lambda: os.path.isfile(os.path.join(user_data(j), "feeds", "feed_21.json")), j.seconds(20),
         "the hot tags kept")
    open_tab(j, main, "people", "c_daren")
    # The start's own category list waits for the home picture a moment and
    # may have gone once the service was back; else the tab asks for it,
    # signed in at u.php. Its eight feeds follow either way.
    if j.service.requests("action=c_all_list", back) or j.service.requests("/u.php?action=c_all", back):
        open_categories(j, main)
    else:
        open_tab(j, main, "categories", "/u.php?action=c_all")
    poll(lambda: len({e["query"] for e in j.service.requests("action=c_cate&", back)}) >= 8, j.seconds(20),
         "the eight category feeds")
    check(not offline_mark_shown(j, main), "离线 while the service answers")


def offline_row(fault, wait=20):
    """A fault on the hot tags: the kept tags show, marked 离线, the kept
    answer unchanged; the next fresh answer takes the mark away."""
    def row(j, main):
        kept = kept_answers(j)["feeds/feed_21.json"]
        open_tab(j, main, "people", "c_daren")
        check(not offline_mark_shown(j, main), "离线 before the fault")
        # Every list at once: one fresh answer would take the mark away again.
        j.service.fault(fault + "&scope=json")
        started = time.monotonic()
        open_tab(j, main, "hot", "c_hot_tag")
        poll(lambda: offline_mark_shown(j, main), j.seconds(wait), "the 离线 mark")
        j.say("离线 after %.1f s" % (time.monotonic() - started))
        j.screenshot("offline")
        check(kept_answers(j)["feeds/feed_21.json"] == kept, "the kept hot tags changed")
        j.service.fault("mode=normal")
        open_tab(j, main, "people", "c_daren")
        poll(lambda: not offline_mark_shown(j, main), j.seconds(20), "the 离线 mark to go")
        open_tab(j, main, "hot", "c_hot_tag")
    return row


def row_html_login(j, main):
    j.hover(main, WIDTH // 2, 300)
    j.hover(main, *AVATAR)
    j.settled(main, WIDTH - 205, 40, 160, 244)
    since = j.service.mark()
    j.click(main, *SIGN_OUT_ITEM)
    j.service.wait_request("c_logout", since)
    poll(lambda: not user_name_shown(j, main), j.seconds(10), "signed out")
    j.click(main, *LOGIN_LINK)
    login = j.find_window(LOGIN)
    j.service.fault("mode=html&match=c_login")
    since = j.service.mark()
    start_login(j, login)
    j.service.wait_request("c_login", since)
    login = await_network_error(j)
    j.service.fault("mode=normal")
    sign_in_again(j, main, login)


def row_html_comments(j, main):
    j.service.fault("mode=html&match=c_comment_list")
    drop_strip(j, main, 0)
    since = j.service.mark()
    j.click(main, *category_centre(0))
    j.service.wait_request("c_comment_list", since, timeout=j.seconds(10))
    poll(lambda: len({p for row in j.pixels(main, *CENTRE) for p in row}) > 1, j.seconds(20), "the picture")
    j.screenshot("comments-html")
    j.service.fault("mode=normal")
    since = j.service.mark()
    j.key(main, "Right")
    poll(lambda: [e for e in j.service.requests("c_comment_list", since) if e["status"] == 200], j.seconds(10),
         "the next picture's comments")


def pictured(rows):
    """A slot of the row with its thumbnail: even a grey picture has many
    shades where the empty frame has one (colourful would miss a grey one)."""
    return len({p for row in rows for p in row}) > 8


def row_many_pictures(j, main):
    j.service.fault("mode=manyfeed&match=c_my_publish")
    open_user_menu(j, main)
    since = j.service.mark()
    j.click(main, *PUBLISHED_ITEM)
    j.service.wait_request("c_my_publish", since, timeout=j.seconds(10))
    # Every one of the row's ten slots shows its thumbnail: the list's size
    # does not stop them, nor slots sharing a picture file.
    poll(lambda: all(pictured(j.pixels(main, 60 + 120 * k, 60, 80, 20)) for k in range(10)), j.seconds(30),
         "the published thumbnails")
    j.screenshot("ten-thousand")
    j.service.fault("mode=normal")
    open_user_menu(j, main)
    since = j.service.mark()
    j.click(main, *PUBLISHED_ITEM)
    poll(lambda: [e for e in j.service.requests("c_my_publish", since) if e["status"] == 200], j.seconds(10),
         "the published list again")


def thumbnail_shown(rows):
    """A slot with its thumbnail rather than the grey box: a bright one is
    colourful, a muted one (a brown dish, a grey-green hill) is at least not
    the box's flat grey."""
    return colourful(rows) or not greyish(rows)


def thumbnail_row(fault, index):
    """Thumbnails that fail: the strip shows its grey 加载中 boxes, nothing
    unusable stays in the cache, and once the service is healthy a new drop
    of the strip shows the thumbnails."""
    def row(j, main):
        forget_thumbnails(j)
        j.service.fault(fault)
        since = j.service.mark()
        drop_strip(j, main, index)
        thumbnails_asked(j, since)
        time.sleep(0.5)  # let the failed downloads end
        j.screenshot("strip")
        check(all(greyish(j.pixels(main, *slot_area(index, k))) for k in range(SLOTS)),
              "the strip shows no 加载中 boxes")
        for path in cached_thumbnails(j):
            with open(path, "rb") as f:
                data = f.read()
            check(data.startswith(b"\xff\xd8") and data.rstrip(b" ").endswith(b"\xff\xd9")
                  and b"\x4e\x20\x4e\x20" not in data[:400],
                  "an unusable thumbnail was kept: %s" % path)
        j.service.fault("mode=normal")
        since = j.service.mark()
        drop_strip(j, main, index)
        poll(lambda: all(thumbnail_shown(j.pixels(main, *slot_area(index, k))) for k in range(SLOTS)), j.seconds(30),
             "the thumbnails once the service is healthy")
    return row


ROWS = [
    # name, fault at the row's start (None: as it is), the row
    ("down at start, back later", None, row_down_at_start),
    ("HTML for the login", None, row_html_login),
    ("HTML for a feed", None, offline_row("mode=html")),
    ("HTML for the comments", None, row_html_comments),
    ("answering after 35 s", None, offline_row("mode=slow&delay_ms=35000", wait=45)),
    ("a feed of 10,000 pictures", None, row_many_pictures),
    ("a truncated JPEG", None, thumbnail_row("mode=truncjpeg&scope=pictures", 1)),
    ("a 20,000 x 20,000 thumbnail", None, thumbnail_row("mode=bomb&scope=pictures&match=_160x160", 2)),
    ("404 for every picture", None, thumbnail_row("mode=notfound&scope=pictures", 3)),
    ("a redirect loop", None, thumbnail_row("mode=loop&scope=pictures", 4)),
    ("a redirect loop for a feed", None, offline_row("mode=loop")),
    ("an answer of 16 MiB + 1 byte", None, offline_row("mode=oversize")),
]


def session(j, args):
    probe, only = args.probe, args.only
    for path in ("feeds", "image"):
        shutil.rmtree(os.path.join(user_data(j), path), ignore_errors=True)
    eyes = Eyes(j)
    j.pixels, j.screenshot = eyes.pixels, eyes.screenshot
    j.program.write_config(CONFIG)
    j.service.fault("mode=down")
    j.start()
    main = j.find_window(MAIN)
    config = None
    late = []
    for name, fault, row in ROWS:
        # The first row signs in: every other row starts from it.
        if only and only not in name and row is not row_down_at_start:
            continue
        j.say("row: " + name)
        if fault:
            j.service.fault(fault)
        kept = kept_answers(j)
        watch = Watch(j, probe)
        try:
            row(j, main)
        finally:
            j.service.fault("mode=normal")
            check(j.program.running(), "row %s: Quarn.exe ended" % name)
            # A late answer fails the journey after the other rows ran.
            late.append(watch.finish(name))
        # The first sign-in wrote the token; from then on nothing changes it.
        config = config or j.program.config()
        check_data_kept(j, config, kept)
        j.screenshot(name.split(",")[0].replace(" ", "-"))
    late = [text for text in late if text]
    check(not late, "; ".join(late))


def fault_options(parser):
    parser.add_argument("--probe", required=True, help="quarn_probe.exe")
    parser.add_argument("--only", default="", help="run only the rows whose name holds this text")


if __name__ == "__main__":
    sys.exit(run_journey("faults", session, options=fault_options))
