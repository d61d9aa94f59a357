#!/usr/bin/env python3
"""The main window's journey: Quarn.exe under Wine against the local service,
one program start.

    mainwindow_journeys.py --bin BIN_DIR --artifacts DIR

The window covers the primary screen at (0, 0); the start-up requests (home
feed, category list and the eight category feeds it starts) reach the local
service; the home feed's first picture opens in the viewer; the viewer's
close button ends the program with exit code 0.
"""
import glob
import os
import shutil
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, check, colourful, greyish, poll, run_journey

MAIN = "Vorlane"
# The viewer's close button, in its bar at the top left.
CLOSE_BUTTON = (335, 13)
# Middle of the screen, where the large picture is drawn.
CENTRE = (SCREEN[0] // 2 - 20, SCREEN[1] // 2 - 20, 40, 40)


def picture_in_centre(j, main):
    """Without a picture the viewer's centre is one flat shade."""
    return len({pixel for row in j.pixels(main, *CENTRE) for pixel in row}) > 1


def session(j, _args):
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
    introduction = j.pixels(main, *CENTRE)
    j.click(main, SCREEN[0] // 4, SCREEN[1] // 2)
    poll(lambda: j.pixels(main, *CENTRE) != introduction and picture_in_centre(j, main), j.seconds(20),
         "the first picture in the viewer")
    j.settled(main, *CENTRE, timeout=30)
    j.screenshot("first-picture")

    strip_journey(j, main)
    strip_scroll_and_click(j, main)
    arrow_keys_journey(j, main)
    offline_journey(j, main)

    j.say("the viewer's close button ends the program")
    j.settled(main, 0, 0, 400, 30)
    j.click(main, *CLOSE_BUTTON)
    code = poll(lambda: j.program.process.poll() is not None and j.program.process.returncode is not None,
                j.seconds(30), "the program to end")
    check(code and j.program.process.returncode == 0, "exit code %r" % j.program.process.returncode)


# --- the picture strip ------------------------------------------------------------

# The first category button: gap (1920 - 1040) / 9 = 97 left of it, 130 wide, y 47 to 113.
GAL_BUTTON = (97 + 65, 80)
CATEGORY_TAB = (460, 16)
# The strip under it: 155-wide slots from x 97, the first from y 129, 128 high.
STRIP_X = 97
SLOT_TOP = 129
# Sample rectangle inside the first and third slot, clear of the hover zoom.
SLOT_SAMPLE = [(STRIP_X + 40, SLOT_TOP + 30 + 128 * k, 60, 40) for k in range(4)]


def slot(j, main, k):
    return j.pixels(main, *SLOT_SAMPLE[k])


def open_categories(j, main):
    """Clicks the category tab; the light band of the bar shows."""
    j.click(main, *CATEGORY_TAB)
    return poll(lambda: min(j.pixels(main, 10, 120, 1, 1)[0][0]) > 230, j.seconds(4), "the category bar")


def strip_journey(j, main):
    j.say("the first category's strip shows 加载中 while its thumbnails are on their way, then the thumbnails")
    shutil.rmtree(os.path.join(user_data(j), "image", "beauties"), ignore_errors=True)
    j.service.fault("mode=slow&scope=pictures&match=/pictures/gal/&delay_ms=3000")
    mark = j.service.mark()
    open_categories(j, main)
    # The pointer resting on the button drops the strip, which asks for the thumbnails the cache lacks.
    j.click(main, *GAL_BUTTON)
    poll(lambda: greyish(j.pixels(main, STRIP_X + 50, SLOT_TOP + 128 + 40, 60, 50)), j.seconds(10),
         "a grey 加载中 box in the strip")
    j.screenshot("strip-loading")
    poll(lambda: all(colourful(slot(j, main, k)) for k in range(4)), j.seconds(30), "the thumbnails in the strip")
    check(len(j.service.requests("/pictures/gal/", since=mark)) >= 4, "the first category's thumbnails were fetched")
    j.service.fault("mode=normal")
    j.screenshot("strip-thumbnails")


def strip_scroll_and_click(j, main):
    j.say("the wheel scrolls the strip; a click opens the picture large")
    # Wine merges pointer moves that come faster than the window reads them.
    j._xdotool("mousemove", "--sync", "--window", main, *GAL_BUTTON)
    poll(lambda: colourful(slot(j, main, 1)), j.seconds(10), "the strip over the picture")
    j._xdotool("mousemove", "--sync", "--window", main, STRIP_X + 60, SLOT_TOP + 128 * 2 + 64)
    before = j.settled(main, *SLOT_SAMPLE[1])
    j._xdotool("click", 5)
    poll(lambda: j.pixels(main, *SLOT_SAMPLE[1]) != before, j.seconds(10), "the strip to scroll")
    j.screenshot("strip-scrolled")
    centre = j.settled(main, *CENTRE)
    j.click(main, STRIP_X + 60, SLOT_TOP + 64)
    poll(lambda: j.pixels(main, *CENTRE) != centre, j.seconds(30), "another picture in the viewer")


def band_light(j, main):
    """The light band under the bar: the viewer has slid down."""
    return min(j.pixels(main, 10, 120, 1, 1)[0][0]) > 230


def arrow_keys_journey(j, main):
    j.say("the arrow keys step through the category, sliding each picture in; past its end a notice says so")
    centre = j.settled(main, *CENTRE, timeout=30)
    j.key(main, "Right")
    j.screenshot("after-right")
    poll(lambda: j.pixels(main, *CENTRE) != centre, j.seconds(20), "the next picture after Right")
    j.settled(main, *CENTRE, timeout=30)
    j.key(main, "End")
    j.settled(main, *CENTRE, timeout=30)
    j.key(main, "Right")
    poll(lambda: band_light(j, main), j.seconds(10), "the band with the end-of-list notice")
    j.settled(main, 0, 30, SCREEN[0], 100)
    j.screenshot("end-of-list")
    notice = j.pixels(main, SCREEN[0] // 2 - 100, 40, 200, 80)
    check(len({p for row in notice for p in row}) > 8, "no end-of-list notice in the band")


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


if __name__ == "__main__":
    sys.exit(run_journey("mainwindow", session))
