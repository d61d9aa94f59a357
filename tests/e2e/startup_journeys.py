#!/usr/bin/env python3
"""The start-up journeys: how Quarn.exe starts, under Wine against the local
service.

    startup_journeys.py --bin BIN_DIR --artifacts DIR

Two program starts:
  1. The first start for the user writes the first-run marker and shows the
     guide instead of the main window: keys and the wheel wait for its intro,
     Escape fades it out to the main window. A second copy started with
     "update_vor_lane" ends the running one and returns 1.
  2. Started with Windows ("-autorun") the main window stays hidden and the
     remembered login still signs in; a second start brings the hidden
     window forward and exits 0. No guide on these later starts.
  3. The copy brought forward is closed with Alt+F4, as a user closes it:
     the process ends, with 0.
"""

import os
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
from quarn_e2e import WINE_RUN, check, first_run_marker, poll, run_journey
from login_journeys import DEMO, DEMO_DIGEST, MAIN, await_login, await_signed_in, login_body


WIZARD = "Vorlane向导"
# Middle of the guide's next button: where the intro shows it, and where the
# first page moves it.
INTRO_NEXT = (1066, 582)
PAGE_NEXT = (1046, 432)


def marker_path(j):
    return first_run_marker(j.prefix)


def marker_text(path):
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as marker:
        raw = marker.read()
    return raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")


def marker_set(path):
    lines = [line.strip() for line in marker_text(path).splitlines()]
    return "[vorlane]" in lines and "runonce=1" in lines[lines.index("[vorlane]"):]


def start_main(j, *args):
    """The running copy, with these arguments; it stays j.program.process."""
    env = dict(os.environ, DISPLAY=j.display.name, WINEPREFIX=j.prefix)
    with open(j.program.output, "ab") as log:
        j.program.process = subprocess.Popen(["bash", WINE_RUN, os.path.join(j.program.folder, "Quarn.exe")] + list(args),
                                             cwd=j.program.folder, env=env, stdout=log, stderr=log)


def run_another(j, *args):
    """One more copy, to its end; its exit code."""
    env = dict(os.environ, DISPLAY=j.display.name, WINEPREFIX=j.prefix)
    with open(j.program.output, "ab") as log:
        return subprocess.run(["bash", WINE_RUN, os.path.join(j.program.folder, "Quarn.exe")] + list(args),
                              cwd=j.program.folder, env=env, stdout=log, stderr=log,
                              timeout=j.seconds(60)).returncode


def button_at(j, wizard, x, y):
    """Whether the guide's Lagoon next button covers client (x, y)."""
    r, g, b = j.pixels(wizard, x, y, 1, 1)[0][0]
    return b > 150 and r < 120


def first_start_and_replace_mode(j):
    j.say("the first start writes the marker and shows the guide, not the main window")
    marker = marker_path(j)
    if os.path.exists(marker):
        os.remove(marker)
    j.program.write_config("<login />")
    start_main(j)
    wizard = j.find_window(WIZARD)
    # The intro lasts about a second: its input goes first.
    j._xdotool("mousemove", "--sync", "--window", wizard, 600, 400)
    j.key(wizard, "Return", "Right", "Down", "Escape")
    j._xdotool("click", 5)
    j.say("keys and the wheel did nothing during the intro")
    poll(lambda: marker_set(marker), j.seconds(10), "runonce=1 in vorlane.db")
    # The intro ends with its buttons shown at their first place.
    poll(lambda: button_at(j, wizard, *INTRO_NEXT), j.seconds(15), "the guide's next button")
    check(not button_at(j, wizard, *PAGE_NEXT), "a page turned during the intro")
    check(not j.is_shown(MAIN), "the main window showed during the guide")
    j.screenshot("guide-intro")

    j.say("the wheel turns to the first page; Escape fades out to the main window")
    j._xdotool("click", 5)
    poll(lambda: button_at(j, wizard, *PAGE_NEXT), j.seconds(10), "the first guide page")
    j.screenshot("guide-page1")
    j.key(wizard, "Escape")
    j.find_window(MAIN, timeout=10)
    poll(lambda: not j.windows(WIZARD, visible=False), j.seconds(10), "the guide to go")

    j.say("update_vor_lane ends the running copy and returns 1")
    code = run_another(j, "update_vor_lane")
    check(code == 1, "replace mode returned %s" % code)
    poll(lambda: not j.program.running(), j.seconds(10), "the running copy to end")


def autorun_and_second_start(j):
    j.say("started with Windows: hidden, and the remembered login signs in")
    j.program.write_config('<login username="%s" password="%s" isRememberPwd="true" isAutoLogin="true" '
                           'uid="1001" token="stale" />' % (DEMO, DEMO_DIGEST))
    since = j.service.mark()
    start_main(j, "-autorun")
    await_login(j, login_body(DEMO, DEMO_DIGEST), since)
    poll(lambda: b'token="stale"' not in j.program.config(), j.seconds(10), "the new token in vlconfig.xml")
    check(j.program.running(), "Quarn.exe ended after the automatic login")
    check(not j.is_shown(MAIN), "the main window showed on a start with Windows")
    j.screenshot("autorun-hidden")

    j.say("a second start brings the hidden window forward and exits 0")
    code = run_another(j)
    check(code == 0, "the second start returned %s" % code)
    main = j.find_window(MAIN, timeout=10)
    await_signed_in(j, main)
    j.screenshot("brought-forward")
    check(not j.windows(WIZARD, visible=False), "the guide opened on a later start")
    check(j.program.running(), "the first copy ended on the second start")


def closing_ends_the_program(j):
    j.say("Alt+F4 on the main window ends the program with 0")
    main = j.find_window(MAIN)
    j._xdotool("windowfocus", "--sync", main, "key", "--clearmodifiers", "alt+F4")
    poll(lambda: not j.program.running(), j.seconds(30), "Quarn.exe to end after Alt+F4")
    check(j.program.process.returncode == 0, "Quarn.exe ended with %s" % j.program.process.returncode)


def session(j, _args):
    first_start_and_replace_mode(j)
    autorun_and_second_start(j)
    closing_ends_the_program(j)


if __name__ == "__main__":
    sys.exit(run_journey("startup", session))
