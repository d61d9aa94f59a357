#!/usr/bin/env python3
"""The keyboard journey: Quarn.exe under Wine against the local service,
signed out at first, driven by key presses alone; no pointer moves or
clicks. Before typing into a window it waits for that window's caret (see
await_keys).

    keyboard_journeys.py --bin BIN_DIR --artifacts DIR

C opens the comment input for the picture on show (5192, the home feed's
first); the text is typed and Enter sends it, which asks for a login first.
The login window comes with the focus in its name field and a mark around
it; the name, Tab, the password, then Tab on to the login button (marked
now) and Space sign in, and the comment goes out after the login.
"""
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, Eyes, check, poll, run_journey

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
# Where an empty field's caret blinks, and where typed text shows in the
# comment input (its hint there goes as the first character comes).
NAME_CARET = (138, 80, 8, 20)
INPUT_CARET = (6, 6, 8, 22)
INPUT_TEXT = (24, 6, 160, 22)


def press(j, *names):
    """Keys to whichever window has the keyboard's focus."""
    j._xdotool("key", "--clearmodifiers", *names)


def type_keys(j, text):
    j._xdotool("type", "--delay", 40, text)


def await_keys(j, eyes, window, caret, what):
    """Until window holds the X focus and its caret blinks. There is no
    window manager to give the X focus to the window the program brings to
    the front, and Wine's own move of it to a pop-up can be undone by the
    pop-up's mapping; so the journey hands it over, as a window manager
    would, until it holds. Keys sent sooner land nowhere."""
    def holds():
        if j._xdotool("getwindowfocus", check_status=False).strip() != str(window):
            return False
        first = eyes.pixels(window, *caret)
        try:
            return poll(lambda: eyes.pixels(window, *caret) != first, j.seconds(1.5), "a blink", step=0.1)
        except AssertionError:
            return False
    for _ in range(5):
        if holds():
            return
        j.focus(window)
    check(holds(), "the keyboard never stayed on " + what)


def retry(j, field, act, done, what, tries=4):
    """Acts until done holds. Without a window manager Wine can lose the
    X focus of a pop-up it has just brought to the front (its desktop
    window takes it), and keys then land nowhere; the journey hands the
    X focus to the pop-up, as a window manager would, and repeats what the
    keys did, which is safe to repeat."""
    for _ in range(tries):
        j.focus(field)
        act()
        try:
            return poll(done, j.seconds(3), what)
        except AssertionError:
            pass
    check(False, "never " + what)


def marked(eyes, window, box):
    """The accent on the outline's band just outside box."""
    x, y, w, h = box
    rows = eyes.pixels(window, x - 5, y - 5, w + 10, 5)
    return any(max(abs(a - b) for a, b in zip(pixel, ACCENT)) < 48 for row in rows for pixel in row)


def param(entry, name):
    return dict(entry["params"]).get(name)


def settled(j, eyes, window, box):
    """The box's pixels once two reads in a row agree (painting done)."""
    last = [None]

    def same():
        now = eyes.pixels(window, *box)
        agreed, last[0] = now == last[0], now
        return agreed
    poll(same, j.seconds(20), "the window to finish painting", step=0.15)


def session(j, _args):
    # Eyes that leave the X server free: a grab while Wine moves the focus
    # between its windows can lose the move.
    eyes = Eyes(j)
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    poll(lambda: j.service.requests("c_comment_list&id=" + PICTURE), j.seconds(30), "the picture's comments")
    settled(j, eyes, main, (L, T, R - L, 200))
    j.focus(main)

    j.say("C opens the comment input; Enter sends, and asks for a login first")
    since = j.service.mark()
    press(j, "c")
    field = j.find_window(INPUT, timeout=10)
    settled(j, eyes, field, INPUT_TEXT)
    blank = eyes.pixels(field, *INPUT_TEXT)

    def into_input():
        press(j, "ctrl+a")
        type_keys(j, TEXT)
    retry(j, field, into_input, lambda: eyes.pixels(field, *INPUT_TEXT) != blank, "the typed text to show")
    retry(j, field, lambda: press(j, "Return"), lambda: j.is_shown(LOGIN), "the login window")
    login = j.find_window(LOGIN)
    settled(j, eyes, login, (0, 0, 425, 290))
    await_keys(j, eyes, login, NAME_CARET, "the login window")
    check(marked(eyes, login, NAME_FIELD), "no focus mark around the name field")
    check(not marked(eyes, login, LOGIN_BUTTON), "a focus mark around the login button before Tab reached it")
    eyes.screenshot("login-name-focused")
    check(not j.service.requests("c_comment&", since), "a comment went out before the login")

    j.say("name, Tab, password, Tab to the login button, Space")
    type_keys(j, DEMO)
    press(j, "Tab")
    type_keys(j, "quarn123")
    press(j, "Tab", "Tab", "Tab")
    poll(lambda: marked(eyes, login, LOGIN_BUTTON), j.seconds(5), "the mark on the login button")
    check(not marked(eyes, login, NAME_FIELD), "the name field still marked")
    eyes.screenshot("login-button-focused")
    press(j, "space")
    entry = j.service.wait_request("c_login", since)
    check(param(entry, "username") == DEMO or DEMO.replace("@", "%40") in entry["body"],
          "login body %r" % entry["body"])

    j.say("the comment goes out after the login")
    comment = j.service.wait_request("c_comment&", since)
    check(param(comment, "content") == TEXT and param(comment, "share_id") == PICTURE,
          "comment params %r" % comment["params"])
    eyes.screenshot("commented")


if __name__ == "__main__":
    sys.exit(run_journey("keyboard", session))
