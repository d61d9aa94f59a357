#!/usr/bin/env python3
"""The keyboard journey: Quarn.exe under Wine against the local service,
signed out at first, driven by key presses alone. With no window manager
the X focus does not follow the window the program brings to the front, so
the journey hands it the login window as a window manager would, and waits
for the X focus before typing into a window; no pointer moves or clicks.

    keyboard_journeys.py --bin BIN_DIR --artifacts DIR

C opens the comment input for the picture on show (5192, the home feed's
first); the text is typed and Enter sends it, which asks for a login first.
The login window comes with the focus in its name field and a mark around
it; the name, Tab, the password, then Tab on to the login button (marked
now) and Space sign in, and the comment goes out after the login.
"""
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, check, poll, run_journey

MAIN = "Vorlane"
LOGIN = "登录Quarn"
INPUT = "发表评论"
PICTURE = "5192"
TEXT = "typed with keys only"
DEMO = "demo@quarn.test"
# The comment view: 480 wide, 24 from the right, from y 138.
L, T, R = SCREEN[0] - 504, 138, SCREEN[0] - 24
# Login window rectangles (client coordinates): x, y, width, height.
NAME_FIELD = (130, 71, 164, 36)
LOGIN_BUTTON = (130, 196, 164, 36)
ACCENT = (0, 163, 223)


def press(j, *names):
    """Keys to whichever window has the keyboard's focus."""
    j._xdotool("key", "--clearmodifiers", *names)


def type_keys(j, text):
    j._xdotool("type", "--delay", 40, text)


def await_keys(j, window, what):
    """Until the X focus is on window: keys sent sooner land elsewhere."""
    poll(lambda: j._xdotool("getwindowfocus").strip() == str(window), j.seconds(10), "the keyboard on " + what)


def marked(j, window, box):
    """The accent on the outline's band just outside box."""
    x, y, w, h = box
    rows = j.pixels(window, x - 5, y - 5, w + 10, 5)
    return any(max(abs(a - b) for a, b in zip(pixel, ACCENT)) < 48 for row in rows for pixel in row)


def param(entry, name):
    return dict(entry["params"]).get(name)


def session(j, _args):
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    poll(lambda: j.service.requests("c_comment_list&id=" + PICTURE), j.seconds(30), "the picture's comments")
    j.settled(main, L, T, R - L, 200, timeout=20)
    j.focus(main)

    j.say("C opens the comment input; Enter sends, and asks for a login first")
    since = j.service.mark()
    press(j, "c")
    field = j.find_window(INPUT, timeout=10)
    await_keys(j, field, "the comment input")
    blank = j.pixels(field, 0, 0, 200, 30)
    type_keys(j, TEXT)
    poll(lambda: j.pixels(field, 0, 0, 200, 30) != blank, j.seconds(5), "the typed text to show")
    press(j, "Return")
    login = j.find_window(LOGIN)
    j.settled(login, 0, 0, 425, 290)
    j.focus(login)
    await_keys(j, login, "the login window")
    check(marked(j, login, NAME_FIELD), "no focus mark around the name field")
    check(not marked(j, login, LOGIN_BUTTON), "a focus mark around the login button before Tab reached it")
    j.screenshot("login-name-focused")
    check(not j.service.requests("c_comment&", since), "a comment went out before the login")

    j.say("name, Tab, password, Tab to the login button, Space")
    type_keys(j, DEMO)
    press(j, "Tab")
    type_keys(j, "quarn123")
    press(j, "Tab", "Tab", "Tab")
    poll(lambda: marked(j, login, LOGIN_BUTTON), j.seconds(5), "the mark on the login button")
    check(not marked(j, login, NAME_FIELD), "the name field still marked")
    j.screenshot("login-button-focused")
    press(j, "space")
    entry = j.service.wait_request("c_login", since)
    check(param(entry, "username") == DEMO or DEMO.replace("@", "%40") in entry["body"],
          "login body %r" % entry["body"])

    j.say("the comment goes out after the login")
    comment = j.service.wait_request("c_comment&", since)
    check(param(comment, "content") == TEXT and param(comment, "share_id") == PICTURE,
          "comment params %r" % comment["params"])
    j.screenshot("commented")


if __name__ == "__main__":
    sys.exit(run_journey("keyboard", session))
