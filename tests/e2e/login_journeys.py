#!/usr/bin/env python3
"""The login journeys: Quarn.exe under Wine against the local service, driven
by pointer and keyboard.

    login_journeys.py --bin BIN_DIR --artifacts DIR SESSION [--slow]

SESSION is one program start with the journeys that can share it:
  typed       an empty name shows the hint; the two check boxes follow
              each other; Tab and Shift+Tab between the fields; a wrong name or password shows the
              error for about two seconds and the window comes back; with
              the service down the error says "网络错误！"; signing in by
              typing and Enter; signing out leaves vlconfig.xml as it was;
              closing the main window ends the program
  remembered  automatic login at start; signing out; the remembered login
              shows ten asterisks and Enter sends the stored digest
  switch      signing in asks for the user's own home feed; signing out and
              in as another user shows that user's liked pictures only,
              and with the service down none of the first user's
  smoke       starts and signs in by typing (the 32-bit build)
"""

import glob
import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
from quarn_e2e import SCREEN, JourneyError, check, columns_where, is_red, poll, run_journey

LOGIN = "登录Quarn"
MAIN = "Vorlane"
DEMO = "demo@quarn.test"
DEMO_DIGEST = hashlib.md5(b"quarn123").hexdigest()

# Client coordinates in the login window.
NAME_FIELD = (200, 89)
PASSWORD_FIELD = (200, 129)
PASSWORD_TEXT = (140, 121, 144, 17)  # x, y, width, height
ERROR_BAND = (40, 18, 240, 26)       # the error text is centred on (160, 30)
NAME_TIP = (130, 71, 164, 36)
SAVE_BOX = (130, 162, 16, 16)
AUTO_BOX = (222, 162, 16, 16)
WINDOW = (0, 0, 425, 290)

# Client coordinates in the full-screen main window, from its right edge.
WIDTH = SCREEN[0]
LOGIN_LINK = (WIDTH - 240, 20)
# The user menu hangs from the avatar; its last entry signs out.
AVATAR = (WIDTH - 172, 19)
SIGN_OUT_ITEM = (WIDTH - 150, 258)
# The viewer's close button, in its bar at the top left.
CLOSE_LINK = (335, 13)
USER_NAME = (WIDTH - 145, 10, 77, 15)
# The viewer's bar behind the user's name.
BACKGROUND = (255, 255, 255)


def digest(text):
    return hashlib.md5(text.encode()).hexdigest()


def login_body(name, password_digest):
    quoted = "".join(c if c.isascii() and (c.isalnum() or c in "-._~") else
                     "".join("%%%02X" % b for b in c.encode()) for c in name)
    return "username=%s&password=%s" % (quoted, password_digest)


def await_login(j, body, since):
    """The login request with exactly this body."""
    return poll(lambda: [e for e in j.service.requests("c_login", since) if e["body"] == body],
                j.seconds(30), "a login with body %r" % body)[0]


def user_name_shown(j, main):
    rows = j.pixels(main, *USER_NAME)
    return any(pixel != BACKGROUND for row in rows for pixel in row)


AVATAR_AREA = (WIDTH - 184, 6, 24, 24)


def avatar_gone(j, main):
    """Signed out, the avatar's place shows only what lies behind it: some
    colours, where the avatar picture has many."""
    return len({p for row in j.pixels(main, *AVATAR_AREA) for p in row}) <= 60


def await_signed_in(j, main):
    poll(lambda: user_name_shown(j, main), j.seconds(30), "the signed-in user's name")
    check(not j.is_shown(LOGIN), "the login window stayed open after signing in")


REGISTER_LINK = (WIDTH - 194, 21)
WEB = "网页"
WEB_CLOSE = (700 - 32, 27)


def register_page(j, main):
    """Wine has no HTML engine here: the register link's page goes to the
    default browser (a script that records it) and the web window says so;
    closing that window opens the login window."""
    urls = os.path.join(j.work, "urls.txt")
    browser = os.path.join(j.work, "browser.sh")
    with open(browser, "w") as script:
        script.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' % urls)
    os.chmod(browser, 0o755)
    key = ["HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers"]
    env = dict(os.environ, WINEPREFIX=j.prefix, WINEDEBUG="-all")
    subprocess.run(["/usr/lib/wine/wine64", "reg", "add"] + key + ["/d", browser, "/f"], env=env, capture_output=True)
    try:
        j.click(main, *REGISTER_LINK)
        web = j.find_window(WEB, timeout=j.seconds(5))
        poll(lambda: os.path.exists(urls) and "user.php?action=c_register" in open(urls).read(), j.seconds(20),
             "the register page in the default browser")
        j.settled(web, 0, 0, 700, 460)
        j.screenshot("register-page")
        j.click(web, *WEB_CLOSE)
        j.wait_hidden(WEB, timeout=j.seconds(10))
        login = j.find_window(LOGIN)
        j.settled(login, *WINDOW)
        return login
    finally:
        subprocess.run(["/usr/lib/wine/wine64", "reg", "delete"] + key + ["/f"], env=env, capture_output=True)


def open_login_window(j, main):
    j.click(main, *LOGIN_LINK)
    login = j.find_window(LOGIN)
    j.settled(login, *WINDOW)
    return login


def error_columns(j, login):
    return columns_where(j.pixels(login, *ERROR_BAND), is_red)


def await_error(j, login, what):
    columns = poll(lambda: error_columns(j, login), j.seconds(15), "the error text " + what)
    # Band-relative columns back to window coordinates.
    return [ERROR_BAND[0] + x for x in columns]


NAME_TEXT = (138, 80, 148, 18)  # the name field's text line


def name_inked(j, login):
    """A typed address draws many dark pixels; the caret alone draws a few."""
    def dark():
        return sum(1 for row in j.pixels(login, *NAME_TEXT) for p in row if sum(p) < 384)
    try:
        poll(lambda: dark() > 40, j.seconds(3), "the typed name in the name field")
        return True
    except JourneyError:
        return False


def type_demo_login(j, login, main):
    """Types the demo login into the open login window, presses Enter and
    waits until the main window shows the user."""
    since = j.service.mark()
    j.click(login, *NAME_FIELD)
    j.key(login, "ctrl+a")
    j.type(login, DEMO)
    if not name_inked(j, login):
        # Seen once in the 32-bit build under QEMU: the typed name never
        # reached the field. Kept as evidence, then typed once more.
        j.screenshot("name-not-typed")
        print("[%s] the typed name did not reach the name field; typing it again" % j.name, flush=True)
        j.click(login, *NAME_FIELD)
        j.key(login, "ctrl+a")
        j.type(login, DEMO)
    j.click(login, *PASSWORD_FIELD)  # selects what is there
    j.type(login, "quarn123")
    j.key(login, "Return")
    await_login(j, login_body(DEMO, DEMO_DIGEST), since)
    await_signed_in(j, main)
    j.screenshot("signed-in")


def sign_out(j, main):
    before = j.program.config()
    since = j.service.mark()
    j.hover(main, *AVATAR)
    j.settled(main, WIDTH - 205, 40, 160, 244)
    j.click(main, *SIGN_OUT_ITEM)
    j.service.wait_request("c_logout&&uid=1001&token=", since)
    poll(lambda: avatar_gone(j, main), j.seconds(10), "the avatar to go after signing out")
    j.screenshot("signed-out")
    check(j.program.config() == before, "signing out changed vlconfig.xml")


def tab_and_refusal(j, main, login):
    j.say("Tab and Shift+Tab between the fields; a refused login shows its error for two seconds")
    since = j.service.mark()
    j.click(login, *NAME_FIELD)
    j.type(login, "张三")
    j.key(login, "Tab")
    j.type(login, "wrong1")
    j.key(login, "shift+Tab")
    j.type(login, "@quarn.test")
    j.key(login, "Return")
    # Tab went to the password field and Shift+Tab back: the name is whole.
    await_login(j, login_body("张三@quarn.test", digest("wrong1")), since)
    login = j.find_window(LOGIN)
    columns = await_error(j, login, "for a refused login")
    shown = time.monotonic()
    j.screenshot("refused")
    # "用户名或密码错误！" is wider than "网络错误！".
    check(columns[0] < 90 and columns[-1] > 230, "refusal text spans %d..%d" % (columns[0], columns[-1]))
    poll(lambda: not error_columns(j, login), j.seconds(8), "the error to clear")
    lasted = time.monotonic() - shown
    check(lasted >= 1.0, "the error went after %.1f s" % lasted)
    check(j.is_shown(LOGIN), "the login window hid when its error cleared")
    return login


def hint_and_boxes(j, login):
    j.say("an empty name shows the hint; the two check boxes follow each other")
    field, save, auto = (j.pixels(login, *area) for area in (NAME_TIP, SAVE_BOX, AUTO_BOX))
    j.key(login, "Return")
    poll(lambda: j.pixels(login, *NAME_TIP) != field, j.seconds(10), "the hint for a missing name")
    j.screenshot("hint")
    j.click(login, AUTO_BOX[0] + 8, AUTO_BOX[1] + 8)
    poll(lambda: j.pixels(login, *SAVE_BOX) != save, j.seconds(10), "the automatic login to tick the save box")
    j.click(login, SAVE_BOX[0] + 8, SAVE_BOX[1] + 8)
    poll(lambda: j.pixels(login, *AUTO_BOX) == auto, j.seconds(10), "the save box to clear the automatic login")
    j.click(login, AUTO_BOX[0] + 8, AUTO_BOX[1] + 8)


def network_error(j, login):
    j.say("the service does not answer: 网络错误！")
    j.service.fault("mode=down&match=c_login&count=1")
    since = j.service.mark()
    # Into the field first, as a user does after the error: a bare Return
    # right after the window came back was lost about one time in five.
    j.click(login, *NAME_FIELD)
    j.key(login, "Return")
    j.service.wait_request("c_login", since)
    login = j.find_window(LOGIN)
    columns = await_error(j, login, "for a network error")
    j.screenshot("network-error")
    check(100 <= columns[0] and columns[-1] <= 220, "network error text spans %d..%d" % (columns[0], columns[-1]))
    return login


def typed_session(j):
    j.program.write_config("<login />")
    j.start(will_type="张三")
    main = j.find_window(MAIN)
    j.settled(main, WIDTH - 300, 0, 300, 40)
    j.screenshot("main-window")
    login = register_page(j, main)
    hint_and_boxes(j, login)
    login = tab_and_refusal(j, main, login)
    login = network_error(j, login)

    j.say("sign in by typing and Enter")
    type_demo_login(j, login, main)
    config = j.program.config().decode("latin-1")
    check('uid="1001"' in config and 'isRememberPwd="true"' in config and 'isAutoLogin="true"' in config,
          "vlconfig.xml after login: " + config)

    j.say("sign out leaves vlconfig.xml unchanged")
    sign_out(j, main)

    j.say("closing the main window ends the program")
    j.click(main, *CLOSE_LINK)
    poll(lambda: not j.program.running(), j.seconds(20), "Quarn.exe to end")
    check(j.program.process.returncode == 0, "Quarn.exe ended with %s" % j.program.process.returncode)


def remembered_session(j):
    j.program.write_config('<login username="%s" password="%s" isRememberPwd="true" isAutoLogin="true" '
                           'uid="1001" token="stale" />' % (DEMO, DEMO_DIGEST))
    since = j.service.mark()
    j.start()
    main = j.find_window(MAIN)

    j.say("automatic login at start")
    await_login(j, login_body(DEMO, DEMO_DIGEST), since)
    await_signed_in(j, main)
    j.screenshot("signed-in-at-start")
    poll(lambda: b'token="stale"' not in j.program.config(), j.seconds(10), "the new token in vlconfig.xml")

    j.say("sign out leaves vlconfig.xml unchanged")
    sign_out(j, main)

    j.say("the remembered login shows ten asterisks and sends the stored digest")
    login = open_login_window(j, main)
    j.screenshot("remembered")
    dark = columns_where(j.pixels(login, *PASSWORD_TEXT), lambda p: sum(p) < 500)
    check(dark, "no asterisks in the password field")
    # Ten asterisks of six pixels from x = 142; eight would end near 190.
    right = PASSWORD_TEXT[0] + dark[-1]
    check(196 <= right <= 210, "the password mask ends at x = %d" % right)
    since = j.service.mark()
    j.key(login, "Return")
    await_login(j, login_body(DEMO, DEMO_DIGEST), since)
    await_signed_in(j, main)


TEST_USER = "test@quarn.test"
MENU_BADGE = (WIDTH - 70, 52)  # the published count's badge, lagoon blue
LIKED_ITEM = (WIDTH - 150, 98)
ROW_LINE = (60, 110, 800, 1)  # a line through the row's first thumbnails, below the loading note


def type_login(j, login, main, name, password):
    since = j.service.mark()
    j.click(login, *NAME_FIELD)
    j.key(login, "ctrl+a")
    j.type(login, name)
    j.click(login, *PASSWORD_FIELD)
    j.type(login, password)
    j.key(login, "Return")
    await_login(j, login_body(name, digest(password)), since)
    await_signed_in(j, main)


def open_liked(j, main, uid):
    """The user menu's liked entry; the row's thumbnails or not."""
    j.hover(main, *AVATAR)
    poll(lambda: j.pixels(main, *MENU_BADGE, 1, 1)[0][0][2] > 150, j.seconds(10), "the user menu")
    since = j.service.mark()
    j.click(main, *LIKED_ITEM)
    j.service.wait_request("c_my_like&uid=%s&" % uid, since, timeout=j.seconds(10))
    j.hover(main, WIDTH // 2, 600)  # off the menu, which closes


def thumbnails_shown(j, main):
    """Pictures in the row: many colours along the line, where the empty
    band and its frames have a few."""
    return len(set(j.pixels(main, *ROW_LINE)[0])) > 24


def forget_kept_feeds(j):
    """The kept answers of earlier runs in this prefix: a user's own kept
    list would stand in for the offline one this session looks at."""
    for folder in glob.glob(os.path.join(j.prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                         "ostrel_quarn", "feeds")):
        shutil.rmtree(folder, ignore_errors=True)


def switch_session(j):
    j.program.write_config("<login />")
    forget_kept_feeds(j)
    j.start()
    main = j.find_window(MAIN)
    j.settled(main, WIDTH - 300, 0, 300, 40)

    j.say("signing in asks for the home feed as the user")
    since = j.service.mark()
    type_login(j, open_login_window(j, main), main, DEMO, "quarn123")
    j.service.wait_request("book.php?action=c_all&uid=1001&", since, timeout=j.seconds(10))
    open_liked(j, main, "1001")
    poll(lambda: thumbnails_shown(j, main), j.seconds(15), "the liked thumbnails of 1001")
    j.screenshot("liked-1001")
    sign_out(j, main)

    j.say("another user, offline: nothing of the first one's liked pictures")
    since = j.service.mark()
    type_login(j, open_login_window(j, main), main, TEST_USER, "quarn456")
    j.service.wait_request("book.php?action=c_all&uid=1002&", since, timeout=j.seconds(10))
    j.service.fault("mode=down&match=c_my_like")
    open_liked(j, main, "1002")
    j.settled(main, 0, 40, WIDTH, 200)
    j.screenshot("liked-1002-offline")
    check(not thumbnails_shown(j, main), "1001's liked pictures showed for 1002 while offline")
    check(not j.service.requests("c_my_like&uid=1001", since), "1001's liked list was asked for as 1002")

    j.say("online again: 1002's own liked pictures")
    j.service.fault("mode=normal")
    open_liked(j, main, "1002")
    poll(lambda: thumbnails_shown(j, main), j.seconds(15), "the liked thumbnails of 1002")
    j.screenshot("liked-1002")


def smoke_session(j):
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    login = open_login_window(j, main)
    j.screenshot("login-window")
    type_demo_login(j, login, main)


SESSIONS = {"typed": typed_session, "remembered": remembered_session, "switch": switch_session,
            "smoke": smoke_session}


def login_options(parser):
    parser.add_argument("--slow", action="store_true", help="longer deadlines (32-bit build through QEMU)")
    parser.add_argument("session", choices=sorted(SESSIONS))


if __name__ == "__main__":
    sys.exit(run_journey(lambda args: args.session, lambda j, args: SESSIONS[args.session](j),
                         options=login_options))
