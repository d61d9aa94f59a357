#!/usr/bin/env python3
"""Quarn at 100 %, 125 %, 150 % and 200 %: for each, the Wine prefix's
LogPixels is set, the display sized to match, and the guide, the comment
view and the login window are measured against their 96-DPI layout times
the scale.

    dpi_journeys.py --bin BIN_DIR --artifacts DIR [--dpi N ...]

Per DPI: the guide's size; the first category button and its strip of
thumbnails dropped; the comment view's place; the login window's size, its login button's
rectangle (found by its Lagoon fill), the height of its check boxes' labels
(fonts made for the DPI), and the width of the logo's left edge's transition
in pixels, which at 144 and 192 DPI must be no wider than at 96 (pictures
come from the set drawn for the DPI, not stretched from 1x). The journeys run in
a prefix of their own, so no other test ever sees a changed LogPixels.
"""

import os
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
from quarn_e2e import (WINE_PREFIX, Display, KeyBindings, check, colourful, end_wine, first_run_marker, poll,
                       run_journey, set_first_run_marker)

LOGIN = "登录Quarn"
MAIN = "Vorlane"
WIZARD = "Vorlane向导"
WINE64 = "/usr/lib/wine/wine64"

# dpi: the screen that goes with it (a 1280 x 800 one at 96 DPI, scaled).
SCREENS = {96: (1280, 800), 120: (1600, 1000), 144: (1920, 1200), 192: (2560, 1600)}
# The DPIs the skin has pictures drawn for.
OWN_SETS = (96, 144, 192)

# 96-DPI layout, from the skin's INI files and the windows' own numbers.
LOGIN_SIZE = (425, 290)
GUIDE_SIZE = (1366, 800)
LOGIN_BUTTON = (130, 196, 294, 232)  # left, top, right, bottom
LABEL_BAND = (146, 158, 210, 182)    # around the 记住密码 label
LOGIN_LINK = (-250, 14, -215, 30)    # from the main window's right edge
GUIDE_NEXT = (1066, 582)             # middle of the guide's next button after its intro
LOGO = (40, 76, 96, 132)             # the Lagoon square in the login background
COMMENT_VIEW_TOP = 138              # the comment view: top, width, right margin
COMMENT_VIEW_WIDTH = 480
COMMENT_VIEW_MARGIN = 24
CATEGORY_TAB = (460, 16)              # the category tab on the bar
CATEGORY = (130, 47, 113)              # a category button: width, top, bottom
CATEGORY_COUNT = 8
STRIP = (155, 129, 128)                # the strip's slot width, top and thumbnail height
STRIP_SLOTS = 4
LAGOON = (0, 163, 223)
PAPER = (255, 255, 255)


def scaled(value, dpi):
    """As the program scales: MulDiv, halves away from zero."""
    product = value * dpi
    return (abs(product) + 48) // 96 * (1 if product >= 0 else -1)


def near(pixel, colour, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def dpi_prefix():
    """A prefix of these journeys' own, beside the shared one."""
    cache = os.path.join(os.environ.get("QUARN_WINE_CACHE", "/var/cache/quarn-wine"), "journeys-dpi")
    env = dict(os.environ, QUARN_WINE_CACHE=cache)
    result = subprocess.run(["bash", WINE_PREFIX], env=env, capture_output=True, text=True)
    check(result.returncode == 0, "no Wine prefix: " + result.stderr.strip())
    return result.stdout.strip().splitlines()[-1]


def set_log_pixels(prefix, dpi):
    end_wine(prefix)
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    result = subprocess.run([WINE64, "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                             "REG_DWORD", "/d", str(dpi), "/f"], env=env, capture_output=True)
    check(result.returncode == 0, "LogPixels not set: %r" % result.stderr)
    end_wine(prefix)


def bounding_box(rows, test):
    """left, top, right, bottom (exclusive) of the pixels passing test."""
    xs = [x for row in rows for x, p in enumerate(row) if test(p)]
    ys = [y for y, row in enumerate(rows) if any(test(p) for p in row)]
    check(xs and ys, "no pixel of the colour looked for")
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def transition_width(row, inside, outside):
    """Pixels of a row that are neither the inside nor the outside colour:
    how many pixels an edge takes to go from one to the other."""
    return sum(1 for p in row if not near(p, inside, 12) and not near(p, outside, 12))


def measure_guide(j, dpi):
    marker = first_run_marker(j.prefix)
    if os.path.exists(marker):
        os.remove(marker)
    j.program.write_config("<login />")
    j.start()
    wizard = j.find_window(WIZARD)
    _, _, width, height = j.geometry(wizard)
    expected = (scaled(GUIDE_SIZE[0], dpi), scaled(GUIDE_SIZE[1], dpi))
    check((width, height) == expected, "guide at %d DPI is %dx%d, not %dx%d" % ((dpi, width, height) + expected))
    # The intro ends with the next button shown where the layout puts it.
    next_middle = (scaled(GUIDE_NEXT[0], dpi), scaled(GUIDE_NEXT[1], dpi))

    def next_shown():
        r, _, b = j.pixels(wizard, *next_middle, 1, 1)[0][0]
        return b > 150 and r < 120
    poll(next_shown, j.seconds(20), "the guide's next button")
    j.screenshot("guide-%d" % dpi)
    j.program.stop()
    end_wine(j.prefix)
    set_first_run_marker(j.prefix)
    return {"guide": (width, height)}


def measure_comment_view(j, main, main_width, dpi):
    """The comment view beside the first picture: its Lagoon top edge spans
    the view's width, at the right margin."""
    y = scaled(COMMENT_VIEW_TOP + 1, dpi)

    def edge():
        row = j.pixels(main, 0, y, main_width, 1)[0]
        xs = [x for x, p in enumerate(row) if near(p, LAGOON, 40)]
        return (min(xs), max(xs) + 1) if len(xs) > scaled(COMMENT_VIEW_WIDTH, dpi) // 2 else None
    span = poll(edge, j.seconds(20), "the comment view's top edge")
    want = (main_width - scaled(COMMENT_VIEW_WIDTH + COMMENT_VIEW_MARGIN, dpi), main_width - scaled(COMMENT_VIEW_MARGIN, dpi))
    check(all(abs(a - b) <= 2 for a, b in zip(span, want)),
          "comment view at %d DPI spans %r, not %r" % (dpi, span, want))
    return span


def category_button(width, dpi):
    """The first category button's left, top, right and bottom: the eight
    share the screen's width; on a screen too narrow for them scaled they
    shrink to fit, never below their 96-DPI size."""
    w = max(CATEGORY[0], min(scaled(CATEGORY[0], dpi), width // CATEGORY_COUNT))
    h = w * (CATEGORY[2] - CATEGORY[1]) // CATEGORY[0]
    middle = scaled((CATEGORY[1] + CATEGORY[2]) // 2, dpi)
    gap = max(0, (width - CATEGORY_COUNT * w) // (CATEGORY_COUNT + 1))
    return gap, middle - h // 2, gap + w, middle - h // 2 + h


def measure_strip(j, dpi):
    """The category bar and the first category's strip dropped: the button
    where the layout puts it (its picture against the bar's light band) and
    a thumbnail in each of the strip's slots, scaled from 96 DPI."""
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    _, _, width, height = j.geometry(main)
    j.settled(main, 0, 0, width, scaled(40, dpi))
    j.click(main, scaled(CATEGORY_TAB[0], dpi), scaled(CATEGORY_TAB[1], dpi))
    band_y = scaled(120, dpi)
    poll(lambda: min(j.pixels(main, scaled(10, dpi), band_y, 1, 1)[0][0]) > 230, j.seconds(6), "the category bar")
    want = category_button(width, dpi)
    middle = (want[1] + want[3]) // 2
    # The button's picture has a margin of the band's colour: its ink, once
    # faded in, lies inside the button, where the 96-DPI one lies scaled.
    poll(lambda: any(min(p) < 200 for p in j.pixels(main, want[0], middle, want[2] - want[0], 1)[0]),
         j.seconds(10), "the first category button")
    row = j.settled(main, 0, middle, want[2] + scaled(20, dpi), 1)[0]
    xs = [x for x, p in enumerate(row) if min(p) < 200]
    span = (min(xs), max(xs) + 1)
    check(want[0] <= span[0] and span[1] <= want[2],
          "category button's picture at %d DPI spans %r, outside %r" % (dpi, span, (want[0], want[2])))
    j.click(main, (want[0] + want[2]) // 2, middle)
    top, side = scaled(STRIP[1], dpi), scaled(STRIP[2], dpi)
    slots = min(STRIP_SLOTS, (height - top) // side)
    samples = [(want[0] + side // 3, top + side * k + side // 4, side // 3, side // 3) for k in range(slots)]
    poll(lambda: all(colourful(j.pixels(main, *s)) for s in samples), j.seconds(30), "the strip's thumbnails")
    check(top + side * slots <= height, "the strip at %d DPI runs off the screen" % dpi)
    j.screenshot("strip-%d" % dpi)
    j.program.stop()
    return {"category": (span[0] - want[0], span[1] - want[0]), "strip": (top, side, slots)}


def measure_login(j, dpi):
    j.program.write_config("<login />")
    j.start()
    main = j.find_window(MAIN)
    _, _, main_width, _ = j.geometry(main)
    link = [scaled(v, dpi) for v in LOGIN_LINK]
    j.settled(main, main_width + link[0], 0, link[2] - link[0], scaled(40, dpi))
    comments = measure_comment_view(j, main, main_width, dpi)
    j.click(main, main_width + (link[0] + link[2]) // 2, (link[1] + link[3]) // 2)
    login = j.find_window(LOGIN)
    _, _, width, height = j.geometry(login)
    rows = j.settled(login, 0, 0, width, height)
    j.screenshot("login-%d" % dpi)
    expected = (scaled(LOGIN_SIZE[0], dpi), scaled(LOGIN_SIZE[1], dpi))
    check((width, height) == expected, "login at %d DPI is %dx%d, not %dx%d" % ((dpi, width, height) + expected))

    # Looked for around where it belongs: the logo and the links are Lagoon too.
    want = tuple(scaled(v, dpi) for v in LOGIN_BUTTON)
    margin = scaled(10, dpi)
    area = (want[0] - margin, want[1] - margin, want[2] + margin, want[3] + margin)
    found = bounding_box([row[area[0]:area[2]] for row in rows[area[1]:area[3]]], lambda p: near(p, LAGOON))
    button = (found[0] + area[0], found[1] + area[1], found[2] + area[0], found[3] + area[1])
    check(all(abs(a - b) <= 2 for a, b in zip(button, want)),
          "login button at %d DPI is %r, not %r" % (dpi, button, want))

    band = [scaled(v, dpi) for v in LABEL_BAND]
    label_rows = [row[band[0]:band[2]] for row in rows[band[1]:band[3]]]
    ink = [y for y, row in enumerate(label_rows) if any(sum(p) < 360 for p in row)]
    check(ink, "no label text at %d DPI" % dpi)
    label_height = max(ink) - min(ink) + 1

    # An edge inside a picture: a stretched picture blurs it, while its
    # own edge stays sharp however it is scaled.
    middle = scaled((LOGO[1] + LOGO[3]) // 2, dpi)
    left = scaled(LOGO[0], dpi)
    edge = rows[middle][left - scaled(6, dpi):left + scaled(6, dpi)]
    edge_width = transition_width(edge, LAGOON, PAPER)
    return {"login": (width, height), "button": button, "label": label_height, "edge": edge_width,
            "comments": comments}


def session(j, args):
    dpis = sorted(set(args.dpi or SCREENS) | {96})  # the others are compared with 96
    results = {}
    prefix = dpi_prefix()
    j.prefix = prefix
    try:
        for dpi in dpis:
            set_log_pixels(prefix, dpi)
            j.display.stop()  # a display sized for the DPI
            j.display = Display(SCREENS[dpi])
            j.display.start()
            j.keys = KeyBindings(j.display.name)
            j.say("at %d DPI on a %dx%d screen" % ((dpi,) + SCREENS[dpi]))
            found = measure_guide(j, dpi)
            found.update(measure_strip(j, dpi))
            found.update(measure_login(j, dpi))
            j.program.stop()
            j.say("measured %r" % found)
            results[dpi] = found
    finally:
        j.program.stop()
        set_log_pixels(prefix, 96)
    base = results.get(96)
    for dpi, found in sorted(results.items()):
        if not base:
            break
        scale = dpi / 96
        check(abs(found["label"] - base["label"] * scale) <= max(2, base["label"] * scale * 0.25),
              "labels %d px high at %d DPI, %d at 96" % (found["label"], dpi, base["label"]))
        # Between sets a picture is scaled down from the next larger one,
        # which may soften an edge by a pixel; a set's own DPI must not.
        allowed = base["edge"] + (0 if dpi in OWN_SETS else 1)
        check(found["edge"] <= allowed, "the logo's edge takes %d px at %d DPI, %d at 96"
              % (found["edge"], dpi, base["edge"]))
        # Each set draws its own anti-aliased edge: a few pixels either way.
        ink = tuple(scaled(v, dpi) for v in base["category"])
        check(all(abs(a - b) <= scaled(3, dpi) for a, b in zip(found["category"], ink)),
              "the category button's picture at %d DPI spans %r of it, not %r" % (dpi, found["category"], ink))
    print("dpi  guide       login     button                label edge  comment view  category   strip")
    for dpi, f in sorted(results.items()):
        print("%3d  %-10s  %-8s  %-20s  %5d %4d  %d..%d  %d..%d  top %d, %d x %d" % (
              (dpi, "%dx%d" % f["guide"], "%dx%d" % f["login"], ",".join(map(str, f["button"])), f["label"],
               f["edge"]) + f["comments"] + f["category"] + f["strip"]))


def options(parser):
    parser.add_argument("--dpi", type=int, action="append", choices=sorted(SCREENS))


if __name__ == "__main__":
    sys.exit(run_journey("dpi", session, options))
