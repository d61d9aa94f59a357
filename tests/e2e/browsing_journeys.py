#!/usr/bin/env python3
"""Browsing journey: Quarn.exe under Wine against the local service, one
program start, signed in at start.

    browsing_journeys.py --bin BIN_DIR --artifacts DIR

Each category button opens its category's first picture without asking
for the stored feed again; the hot-tag tab
loads the tags; people and picture searches reach the service with their
text intact (Chinese, "&", "#" and "%"); a follow toggle in the people found
follows and the list reloads; the user menu opens from the avatar with its
counts and switches to the follows list and the published pictures with
their pages; the notice label shows the service's news.
"""
import hashlib
import sys
import urllib.parse

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, check, poll, run_journey

MAIN = "Vorlane"
WIDTH = SCREEN[0]
DEMO_DIGEST = hashlib.md5(b"quarn123").hexdigest()
TABS = {"categories": (460, 16), "hot": (546, 16)}
CATEGORY_CODES = ("gal", "fashion", "fukei", "moe", "yummy", "creative", "crowd", "sukini")
SEARCH_FIELD = (WIDTH - 500, 17)
PICTURE_CHOICE = (WIDTH - 500, 72)  # the lower entry of the list under the field
AVATAR = (WIDTH - 172, 19)
MENU_BADGE = (WIDTH - 70, 52)  # the published count's badge
MENU_ITEMS = {"published": (WIDTH - 150, 66), "liked": (WIDTH - 150, 98), "follows": (WIDTH - 150, 130),
              "fans": (WIDTH - 150, 162)}
FIRST_CELL = (60, 60)
FIRST_TOGGLE = (73, 110)
PERSON_FOLLOWS_LINK = (177, 152)
NEXT_PAGE = (WIDTH - 38, 102)
NOTICE_LABEL = (WIDTH - 340, 9, 58, 16)
SEARCH_TEXT = "阿木"
TAG_TEXT = "&#%猫"


def category_centre(index):
    gap = (WIDTH - 8 * 130) // 9
    return gap * (index + 1) + 130 * index + 65, 80


def query_value(entry, name):
    for part in entry["query"].split("&"):
        key, _, value = part.partition("=")
        if key == name:
            return urllib.parse.unquote(value)
    return None


def band_shown(j, main):
    """The light band the panels lie on, left of the first category button."""
    r, g, b = j.pixels(main, 10, 120, 1, 1)[0][0]
    return r > 230 and g > 230 and b > 230


def choose_tab(j, main, tab, shown):
    j.click(main, *TABS[tab])
    return poll(shown, j.seconds(4), "the %s tab" % tab)


def is_coral(pixel):
    r, g, b = pixel
    return r > 200 and 50 < g < 110 and 50 < b < 110


def is_lagoon(pixel):
    r, g, b = pixel
    return r < 40 and 140 < g < 185 and b > 200


def session(j, _args):
    j.program.write_config('<login username="demo@quarn.test" password="%s" isRememberPwd="true" '
                           'isAutoLogin="true" uid="1001" token="stale" />' % DEMO_DIGEST)
    j.start(will_type=SEARCH_TEXT + TAG_TEXT)
    main = j.find_window(MAIN)
    j.service.wait_request("c_login", timeout=j.seconds(30))

    j.say("the notice label tells of the service's news after signing in")
    poll(lambda: any(is_coral(p) for row in j.pixels(main, *NOTICE_LABEL) for p in row), j.seconds(15),
         "the notice label")

    j.say("each category button opens its category's first picture, asking for its comments once")
    choose_tab(j, main, "categories", lambda: band_shown(j, main))
    for index, code in enumerate(CATEGORY_CODES):
        since = j.service.mark()
        j.click(main, *category_centre(index))
        asked = j.service.wait_request("c_comment_list&id=", since, timeout=j.seconds(10))
        check(len(j.service.requests("c_comment_list&id=" + query_value(asked, "id") + "&", since)) <= 1,
              "the comments of %s's first picture asked for twice" % code)
        check(not j.service.requests("c_cate&cate=%s" % code, since), "the stored %s feed asked for again" % code)
    # The large view took the viewer's bar away; the band's bar runs on to the left edge.
    check(sum(j.pixels(main, 100, 10, 1, 1)[0][0]) > 600, "the bar's left end is left unpainted")
    j.settled(main, 0, 0, WIDTH, 130)
    j.screenshot("categories")

    j.say("the hot-tag tab loads the tags and one feed per tag")
    since = j.service.mark()
    choose_tab(j, main, "hot", lambda: j.service.requests("c_hot_tag", since))
    poll(lambda: len(j.service.requests("c_tag&tag=", since)) >= 10, j.seconds(20), "the tag feeds")
    j.screenshot("hot-tags")

    j.say("a people search sends its Chinese text")
    since = j.service.mark()
    j.click(main, *SEARCH_FIELD)
    j.type(main, SEARCH_TEXT)
    j.key(main, "Return")
    found = j.service.wait_request("c_search&sear=", since, timeout=j.seconds(10))
    check(query_value(found, "sear") == SEARCH_TEXT, "people search for %r" % found["query"])

    j.say("the follow toggle of a person found follows and the list reloads")
    poll(lambda: len(set(j.pixels(main, 30, 60, 60, 1)[0])) > 3, j.seconds(15), "the people found")
    j.hover(main, *FIRST_CELL)
    since = j.service.mark()
    j.click(main, *FIRST_TOGGLE)
    j.service.wait_request("c_follow&", since, timeout=j.seconds(10))
    j.service.wait_request("c_search&sear=", since, timeout=j.seconds(10))
    j.screenshot("people")

    j.say("a click on a person shows the person bar, whose follows link lists that person's follows")
    person = j.service.requests("c_search&sear=", since)[-1]
    since = j.service.mark()
    j.click(main, *FIRST_CELL)
    stats = j.service.wait_request("c_photo&uid=", since, timeout=j.seconds(10))
    uid = query_value(stats, "uid")
    j.settled(main, 0, 125, 260, 50)
    j.click(main, *PERSON_FOLLOWS_LINK)
    follows = j.service.wait_request("uid2=%s" % uid, since, timeout=j.seconds(10))
    check(query_value(follows, "page") == "1", "the person's follows start at %r" % follows["query"])
    j.screenshot("person")

    j.say("a picture search sends '&', '#', '%' and Chinese intact")
    since = j.service.mark()
    j.click(main, *SEARCH_FIELD)
    j.key(main, "End")
    j.type(main, TAG_TEXT)
    j.click(main, *PICTURE_CHOICE)
    found = j.service.wait_request("c_tag&tag=", since, timeout=j.seconds(10))
    check(query_value(found, "tag") == SEARCH_TEXT + TAG_TEXT, "picture search for %r" % found["query"])
    j.screenshot("picture-search")

    j.say("the user menu opens from the avatar with its counts")
    j.hover(main, *AVATAR)
    poll(lambda: is_lagoon(j.pixels(main, *MENU_BADGE, 1, 1)[0][0]), j.seconds(10), "the user menu")
    badge = j.pixels(main, MENU_BADGE[0] - 12, MENU_BADGE[1] - 5, 24, 10)
    check(any(sum(p) > 700 for row in badge for p in row), "no count on the published badge")
    j.settled(main, 0, 0, WIDTH, 130)
    j.screenshot("user-menu")

    j.say("its follows entry lists the follows; a toggle there unfollows and reloads")
    since = j.service.mark()
    j.click(main, *MENU_ITEMS["follows"])
    j.service.wait_request("c_follows&uid=1001&token=", since, timeout=j.seconds(10))
    poll(lambda: len({p for p in j.pixels(main, 30, 50, 60, 60)[0]}) > 3, j.seconds(15), "the follows' avatars")
    j.hover(main, *FIRST_CELL)
    since = j.service.mark()
    j.click(main, *FIRST_TOGGLE)
    j.service.wait_request("c_follow&", since, timeout=j.seconds(10))
    j.service.wait_request("c_follows&", since, timeout=j.seconds(10))
    j.screenshot("follows")

    j.say("its published entry shows the pictures with their pages")
    j.hover(main, *AVATAR)
    poll(lambda: is_lagoon(j.pixels(main, *MENU_BADGE, 1, 1)[0][0]), j.seconds(10), "the user menu")
    since = j.service.mark()
    j.click(main, *MENU_ITEMS["published"])
    first = j.service.wait_request("c_my_publish", since, timeout=j.seconds(10))
    check(query_value(first, "page") == "1", "the published list starts at %r" % first["query"])
    poll(lambda: len({p for p in j.pixels(main, 60, 60, 80, 1)[0]}) > 3, j.seconds(15), "the published thumbnails")
    since = j.service.mark()
    j.click(main, *NEXT_PAGE)
    second = j.service.wait_request("c_my_publish", since, timeout=j.seconds(10))
    check(query_value(second, "page") == "2", "the next page asked for %r" % second["query"])
    j.screenshot("published")

    j.say("its liked entry and its fans list page on as well")
    for entry, action in (("liked", "c_my_like"), ("fans", "c_fans")):
        j.hover(main, *AVATAR)
        poll(lambda: is_lagoon(j.pixels(main, *MENU_BADGE, 1, 1)[0][0]), j.seconds(10), "the user menu")
        since = j.service.mark()
        j.click(main, *MENU_ITEMS[entry])
        first = j.service.wait_request(action, since, timeout=j.seconds(10))
        check(query_value(first, "page") == "1", "the %s list starts at %r" % (entry, first["query"]))
        since = j.service.mark()
        j.click(main, *NEXT_PAGE)
        second = j.service.wait_request(action, since, timeout=j.seconds(10))
        check(query_value(second, "page") == "2", "the next %s page asked for %r" % (entry, second["query"]))
    j.screenshot("fans")


if __name__ == "__main__":
    sys.exit(run_journey("browsing", session))
