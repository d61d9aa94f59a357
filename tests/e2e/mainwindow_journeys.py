#!/usr/bin/env python3
"""The main window's journey: Quarn.exe under Wine against the local service,
one program start.

    mainwindow_journeys.py --bin BIN_DIR --artifacts DIR

The window covers the primary screen at (0, 0); the start-up requests (home
feed, category list and the eight category feeds it starts) reach the local
service; the home feed's first picture opens in the viewer; the viewer's
close button ends the program with exit code 0.
"""
import argparse
import glob
import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import Journey, check, poll, SCREEN

MAIN = "Vorlane"
# The viewer's close button, in its bar at the top left.
CLOSE_BUTTON = (335, 13)
# Middle of the screen, where the large picture is drawn.
CENTRE = (SCREEN[0] // 2 - 20, SCREEN[1] // 2 - 20, 40, 40)


def picture_in_centre(j, main):
    """Without a picture the viewer's centre is one flat shade."""
    return len({pixel for row in j.pixels(main, *CENTRE) for pixel in row}) > 1


def session(j):
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    j.say("the main window covers the primary screen")
    check(j.geometry(main) == (0, 0) + SCREEN, "main window at %r" % (j.geometry(main),))

    j.say("the start-up requests reach the service: home feed, category list, eight categories")
    def start_up_requests():
        actions = [(e["path"], e["query"]) for e in j.service.log()["entries"]]
        home = [q for p, q in actions if p == "/book.php" and q.split("&")[0] == "action=c_all"]
        listed = [q for p, q in actions if p == "/book.php" and q.split("&")[0] == "action=c_all_list"]
        categories = {q for p, q in actions if p == "/book.php" and q.split("&")[0] == "action=c_cate"}
        return home and listed and len(categories) == 8
    poll(start_up_requests, j.seconds(20), "the start-up requests")

    j.say("the home feed's first picture opens in the viewer")
    # The viewer's introduction stays until the first click; a click on
    # its left half at the first picture keeps that picture.
    j.settled(main, *CENTRE)
    j.click(main, SCREEN[0] // 4, SCREEN[1] // 2)
    poll(lambda: picture_in_centre(j, main), j.seconds(60), "the first picture in the viewer")
    j.settled(main, *CENTRE, timeout=30)
    j.screenshot("first-picture")

    offline_journey(j, main)

    j.say("the viewer's close button ends the program")
    j.settled(main, 0, 0, 400, 30)
    j.click(main, *CLOSE_BUTTON)
    code = poll(lambda: j.program.process.poll() is not None and j.program.process.returncode is not None,
                j.seconds(30), "the program to end")
    check(code and j.program.process.returncode == 0, "exit code %r" % j.program.process.returncode)


# --- the kept feeds ---------------------------------------------------------------

HOT_TAB = (546, 16)
PEOPLE_TAB = (632, 16)
OFFLINE_MARK = (362, 7, 44, 20)


def user_data(j):
    """The per-user data folder of the journeys' prefix."""
    users = [u for u in glob.glob(os.path.join(j.prefix, "drive_c", "users", "*")) if not u.endswith("Public")]
    check(len(users) == 1, "user folders in the prefix: %r" % users)
    return os.path.join(users[0], "AppData", "Roaming", "ostrel_quarn")


def offline_mark_shown(j, main):
    """The mark's amber border."""
    return any(r > 200 and 120 < g < 200 and b < 90 for row in j.pixels(main, *OFFLINE_MARK) for r, g, b in row)


def offline_journey(j, main):
    j.say("with the service down the kept hot tags are read again, marked 离线; a fresh answer removes the mark")
    j._xdotool("mousemove", "--sync", "--window", main, HOT_TAB[0], 20)
    j.click(main, *HOT_TAB)
    j.service.wait_request("c_hot_tag", timeout=j.seconds(20))
    poll(lambda: os.path.isfile(os.path.join(user_data(j), "feeds", "feed_21.json")), j.seconds(20),
         "the hot tags kept")
    j.click(main, *PEOPLE_TAB)
    j.service.wait_request("c_daren", timeout=j.seconds(20))
    check(not offline_mark_shown(j, main), "no 离线 mark while the service answers")
    j.service.fault("mode=down&scope=json")
    j.click(main, *HOT_TAB)
    poll(lambda: offline_mark_shown(j, main), j.seconds(20), "the 离线 mark")
    j.screenshot("offline")
    j.service.fault("mode=normal")
    j.click(main, *PEOPLE_TAB)
    poll(lambda: not offline_mark_shown(j, main), j.seconds(20), "the 离线 mark to go")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Quarn.exe, skinkit.dll and the skin")
    parser.add_argument("--artifacts", required=True, help="where the screenshots go")
    args = parser.parse_args()
    with Journey("mainwindow", args.bin, args.artifacts) as j:
        j.service.reset()
        session(j)
        j.say("passed; screenshots in " + j.artifacts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
