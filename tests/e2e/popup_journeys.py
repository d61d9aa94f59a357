#!/usr/bin/env python3
"""The tray menu and the settings dialog: Quarn.exe under Wine against the
local service, one program start.

    popup_journeys.py --bin BIN_DIR --probe QUARN_PROBE_EXE --artifacts DIR

The test display has no tray, so quarn_probe.exe posts the tray icon's right
click to the main window with the pointer where the journey put it; Wine
hands opened addresses to a script that logs them.
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, WINE_RUN, check, poll, run_journey

MAIN = "Vorlane"
MENU = "Vorl菜单"
SETTINGS = "Vorl设置"
MENU_SIZE = (100, 137)
# UM_TRAY_NOTIFY with WM_RBUTTONUP.
RIGHT_CLICK = "post:2545:517"
AUTORUN_BOX = (110, 48, 20, 20)
AUTOLOGIN_BOX = (110, 83, 20, 20)
OLD_COMMAND = '"C:\\Old\\Quarn.exe" -autorun'


class Popups:
    def __init__(self, j, probe):
        self.j = j
        self.probe_exe = probe
        self.urls = os.path.join(j.work, "urls.txt")
        self.browser = os.path.join(j.work, "browser.sh")
        with open(self.browser, "w") as script:
            script.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' % self.urls)
        os.chmod(self.browser, 0o755)

    def probe(self, *steps):
        env = dict(os.environ, DISPLAY=self.j.display.name, WINEPREFIX=self.j.prefix)
        result = subprocess.run(["bash", WINE_RUN, self.probe_exe] + list(steps), env=env, capture_output=True,
                                text=True, timeout=self.j.seconds(60))
        check(result.returncode == 0, "quarn_probe %s: %s" % (" ".join(steps), result.stderr.strip()))
        return result.stdout

    def run_values(self):
        values = dict(line.strip().split("=", 1) for line in self.probe("query-run").splitlines() if "=" in line)
        return values.get("machine"), values.get("user")

    def open_menu(self, x, y):
        self.j._xdotool("mousemove", "--sync", x, y)
        self.probe(RIGHT_CLICK)
        return self.j.find_window(MENU, timeout=10)

    def choose(self, row_y):
        menu = self.open_menu(400, 300)
        self.j.click(menu, 50, row_y)
        self.j.wait_hidden(MENU, timeout=10)

    def logged_urls(self):
        if not os.path.exists(self.urls):
            return []
        with open(self.urls) as log:
            return log.read().split()


def box(j, dialog, place):
    return j.settled(dialog, *place)


def menu(j, p, main):
    j.say("near the bottom-right corner the menu opens above and left of the pointer")
    pointer = (SCREEN[0] - 20, SCREEN[1] - 20)
    menu = p.open_menu(*pointer)
    check(j.geometry(menu) == (pointer[0] - MENU_SIZE[0], pointer[1] - MENU_SIZE[1]) + MENU_SIZE,
          "menu at %r" % (j.geometry(menu),))
    j.settled(menu, 0, 0, *MENU_SIZE)
    j.screenshot("menu-corner")

    j.say("a click outside closes it without a command")
    j.click(main, SCREEN[0] // 2, SCREEN[1] // 2)
    j.wait_hidden(MENU, timeout=10)

    j.say("the last five pixels report row 4: the menu only closes")
    menu = p.open_menu(400, 300)
    check(j.geometry(menu)[:2] == (400, 300), "menu at %r" % (j.geometry(menu),))
    j.click(menu, 50, 134)
    j.wait_hidden(MENU, timeout=10)
    check(not j.is_shown(SETTINGS) and j.program.running() and j.is_shown(MAIN), "row 4 did something")

    j.say("rows 0 and 1 open the article and the suggestion page")
    p.choose(16)
    poll(lambda: any(u.endswith("/article/") for u in p.logged_urls()), j.seconds(20), "the article page")
    p.choose(49)
    poll(lambda: any("/suggestion/?nickname=" in u for u in p.logged_urls()), j.seconds(20), "the suggestion page")
    check(len(p.logged_urls()) == 2, "opened: %r" % p.logged_urls())


def settings(j, p):
    j.say("row 2 shows the settings with the user's Run value ticked")
    p.choose(82)
    dialog = j.find_window(SETTINGS, timeout=10)
    j._xdotool("mousemove", "--sync", "--window", dialog, 300, 250)
    j.settled(dialog, 0, 0, 425, 290)
    j.screenshot("settings")
    unticked = box(j, dialog, AUTOLOGIN_BOX)
    check(box(j, dialog, AUTORUN_BOX) != unticked, "the start-with-Windows box is clear")

    j.say("unticking removes both values, ticking writes the machine value")
    j.click(dialog, 120, 58)
    poll(lambda: p.run_values() == ("-", "-"), j.seconds(10), "both Run values removed")
    j._xdotool("mousemove", "--sync", "--window", dialog, 300, 250)
    poll(lambda: box(j, dialog, AUTORUN_BOX) == unticked, j.seconds(10), "the box cleared")
    j.click(dialog, 120, 58)
    machine, user = p.run_values()
    check(machine.endswith('Quarn.exe" -autorun') and machine != OLD_COMMAND and user == "-",
          "Run values %r, %r" % (machine, user))

    j.say("the automatic-login box writes isAutoLogin")
    j.click(dialog, 120, 93)
    poll(lambda: b'isAutoLogin="true"' in j.program.config(), j.seconds(10), 'isAutoLogin="true"')
    # A pointer already in place keeps xdotool's synchronous move waiting.
    j._xdotool("mousemove", "--sync", "--window", dialog, 300, 250)
    j.click(dialog, 120, 93)
    poll(lambda: b'isAutoLogin="false"' in j.program.config(), j.seconds(10), 'isAutoLogin="false"')

    j.say("the close button hides the dialog")
    j.click(dialog, 365, 18)
    j.wait_hidden(SETTINGS, timeout=10)

    j.say("with vlconfig.xml gone, the automatic-login box saves nothing")
    os.remove(j.program.config_path)
    p.choose(82)
    dialog = j.find_window(SETTINGS, timeout=10)
    j.click(dialog, 120, 93)
    j._xdotool("mousemove", "--sync", "--window", dialog, 300, 250)
    # The start-with-Windows click is handled after the other one.
    j.click(dialog, 120, 58)
    poll(lambda: p.run_values() == ("-", "-"), j.seconds(10), "both Run values removed")
    check(not os.path.exists(j.program.config_path), "vlconfig.xml written again")
    j.click(dialog, 365, 18)
    j.wait_hidden(SETTINGS, timeout=10)


def session(j, args):
    probe = args.probe
    p = Popups(j, probe)
    p.probe("browser:" + p.browser, "clear-run", "user-run:" + OLD_COMMAND)
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    menu(j, p, main)
    settings(j, p)
    p.probe("clear-run")

    j.say("row 3 ends the program with 0")
    p.choose(115)
    poll(lambda: j.program.process.poll() is not None, j.seconds(30), "the program to end")
    check(j.program.process.returncode == 0, "exit code %r" % j.program.process.returncode)


def probe_option(parser):
    parser.add_argument("--probe", required=True, help="quarn_probe.exe")


if __name__ == "__main__":
    sys.exit(run_journey("popups", session, options=probe_option))
