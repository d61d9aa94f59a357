#!/usr/bin/env python3
"""The comment view's journey: Quarn.exe under Wine against the local
service, one program start, signed out at first.

    comment_journeys.py --bin BIN_DIR --artifacts DIR

The home feed's first picture (5192, by user 1016, whom the demo user
follows) opens with the view beside it. A like while signed out opens the
login and goes out after signing in; liking again says it was liked before;
unfollow and follow each say so; a comment with Chinese, an emoji and
"&#%" reaches the service whole and shows in the reloaded list, which then
scrolls by wheel and by thumb; a reply names the replied comment as parent;
a forward sends no text; the wallpaper says how it went; the user's own
picture (5144, two further on) cannot be liked and nothing is sent.
"""
import hashlib
import json
import sys
import urllib.request

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import SCREEN, check, columns_where, poll, run_journey

MAIN = "Vorlane"
LOGIN = "登录Quarn"
INPUT = "发表评论"
DEMO_UID = "1001"
DEMO_TOKEN = hashlib.md5(b"quarn-token:1001").hexdigest()
PICTURE = "5192"
OWN_PICTURE, OWN_PICTURE_STEPS = "5144", 2  # home feed item 2 is the demo user's
TEXT = "你好😀&#%"
REPLY = "收到"
FORWARD = "转发"

# The view: 480 wide, 24 from the right, from y 138 to 24 above the bottom.
L, T, R = SCREEN[0] - 504, 138, SCREEN[0] - 24
CLOSED_ROW, OPEN_ROW = T + 96, T + 46          # middle of the action buttons
WALLPAPER_X, LIKE_X, FORWARD_X, COMMENT_X = R - 96, R - 208, R - 320, R - 432
FOLLOW = (L + 295, T + 58)                     # the follow button and the unfollow link share it
CONFIRM = ((L + R) // 2 - 86, T + 152)
LIST_TOP_CLOSED, LIST_TOP_OPEN = T + 150, T + 210
LIST_BOTTOM = SCREEN[1] - 36
ROW = 72
BAR = (R - 18, R - 8)                          # the list's scroll bar columns
# Inside the notice's white card: centred over the time line, or right of
# the confirm button while the input is open.
NOTICE_CLOSED = ((L + R) // 2 - 70, T + 115, 140, 32)
NOTICE_OPEN = ((L + R) // 2, T + 143, 140, 32)
GLYPH = 16  # width of one character of the notice
# Login window fields (its client coordinates).
NAME_FIELD, PASSWORD_FIELD = (200, 89), (200, 129)


def is_ink(pixel):
    """The notice's grey text, not the view's blue-grey ground."""
    return max(pixel) < 150 and max(pixel) - min(pixel) <= 4


def notice_chars(j, main, band):
    """How many characters the notice in band shows (0: none)."""
    return characters(j.pixels(main, *band))


def characters(rows):
    white = sum(1 for row in rows for pixel in row if min(pixel) > 240)
    if white < len(rows) * len(rows[0]) // 3:
        return 0  # no notice picture there
    columns = columns_where(rows, is_ink)
    return 0 if not columns else round((columns[-1] - columns[0] + 2) / GLYPH)


def act(j, main, click, chars, band=NOTICE_CLOSED, request=None, what="", same_as_last=False):
    """Clicks, then waits for a fresh notice of `chars` characters (and the
    request, when one is named): one that differs from what the band showed
    before, or after the last one went when both read the same. Returns the
    logged request."""
    if same_as_last:
        poll(lambda: notice_chars(j, main, band) == 0, j.seconds(5), "the last notice to go")
    before = j.pixels(main, *band)
    since = j.service.mark()
    j.click(main, *click)
    entry = j.service.wait_request(request, since) if request else None
    def fresh():
        rows = j.pixels(main, *band)
        return rows != before and characters(rows) == chars
    poll(fresh, j.seconds(10), "%d characters of notice for %s" % (chars, what))
    j.screenshot(what)
    return entry


def service_get(j, query):
    with urllib.request.urlopen(j.service.base + query, data=b"", timeout=10) as answer:
        return answer.read().decode("utf-8")


def comment_ids(j):
    listed = json.loads(service_get(j, "book.php?action=c_comment_list&id=" + PICTURE))
    return [c["comment_id"] for c in listed["comment_list"]]


def param(entry, name):
    return dict(entry["params"]).get(name)


def sign_in(j, main):
    login = j.find_window(LOGIN)
    j.settled(login, 0, 0, 425, 290)
    j.click(login, *NAME_FIELD)
    j.key(login, "ctrl+a")
    j.type(login, "demo@quarn.test")
    j.click(login, *PASSWORD_FIELD)
    j.type(login, "quarn123")
    j.key(login, "Return")


def type_input(j, text):
    field = j.find_window(INPUT)
    j.key(field, "ctrl+a")
    j.type(field, text)
    return field


def bar_rows(j, main):
    """Rows of the list's scroll bar column that show the thumb (the input is open)."""
    rows = j.pixels(main, BAR[0], LIST_TOP_OPEN, BAR[1] - BAR[0], LIST_BOTTOM - LIST_TOP_OPEN)
    return [y for y, row in enumerate(rows) if any(min(p) > 150 for p in row)]


def session(j, _args):
    j.program.write_config("<login />")
    j.start(will_type=TEXT + REPLY + FORWARD)
    main = j.find_window(MAIN)
    poll(lambda: j.service.requests("c_comment_list&id=" + PICTURE), j.seconds(30), "the picture's comments")
    j.settled(main, L, T, R - L, 200, timeout=20)
    j.screenshot("view")

    j.say("a like while signed out opens the login and is sent after it")
    since = j.service.mark()
    j.click(main, LIKE_X, CLOSED_ROW)
    sign_in(j, main)
    like = j.service.wait_request("a=fav", since)
    check(param(like, "id") == PICTURE, "liked %r" % param(like, "id"))
    poll(lambda: notice_chars(j, main, NOTICE_CLOSED) == 4, j.seconds(10), "喜欢成功")
    j.screenshot("liked")
    act(j, main, (LIKE_X, CLOSED_ROW), 3, request="a=fav", what="liked-before")

    j.say("unfollow, then follow the author, each with its notice")
    poll(lambda: j.service.requests("c_comment_list&id=%s&uid=1001" % PICTURE), j.seconds(10), "signed-in comments")
    j.settled(main, L, T, R - L, 150)
    act(j, main, FOLLOW, 4, request="c_follow", what="unfollowed")
    # Never twice at one spot: a synchronous move to where the pointer is waits for seconds.
    act(j, main, (FOLLOW[0] + 3, FOLLOW[1] + 1), 4, request="c_follow", what="followed")
    state = service_get(j, "__control/state?uid=" + DEMO_UID)
    check('"1016"' in state.split('"fans"')[0], "1016 not followed again: %s" % state[:200])

    j.say("a comment with Chinese, an emoji and &#% reaches the service whole")
    for n in range(14):  # others comment meanwhile, so the list grows long
        service_get(j, "u.php?action=c_comment&uid=%s&token=%s&share_id=%s&parent_id=0&content=seed%d"
                    % (DEMO_UID, DEMO_TOKEN, PICTURE, n))
    j.click(main, COMMENT_X, CLOSED_ROW)
    type_input(j, TEXT)
    entry = act(j, main, CONFIRM, 4, band=NOTICE_OPEN, request="c_comment&", what="commented")
    check(param(entry, "content") == TEXT and param(entry, "parent_id") == "0",
          "comment params %r" % entry["params"])
    j.service.wait_request("c_comment_list&id=" + PICTURE, entry["seq"])
    check(bar_rows(j, main) or poll(lambda: bar_rows(j, main), j.seconds(10), "the scroll bar"), "no scroll bar")

    j.say("a reply names the replied comment as its parent")
    ids = comment_ids(j)
    link = (R - 8 - 14 - 64, LIST_TOP_OPEN + 2 * ROW - 21)
    j.click(main, *link)
    field = j.find_window(INPUT)
    j.key(field, "End")
    j.type(field, REPLY)
    entry = act(j, main, CONFIRM, 4, band=NOTICE_OPEN, request="c_comment&", what="replied", same_as_last=True)
    check(param(entry, "parent_id") == ids[1], "reply parent %r, not %r" % (param(entry, "parent_id"), ids[1]))
    check(param(entry, "content").startswith("//@") and param(entry, "content").endswith(":" + REPLY),
          "reply text %r" % param(entry, "content"))

    j.say("the long list scrolls by wheel and by thumb")
    top = bar_rows(j, main)[0]
    j._xdotool("mousemove", "--sync", "--window", main, (L + R) // 2, LIST_BOTTOM - 100)
    j._xdotool("click", 5)
    moved = poll(lambda: bar_rows(j, main) and bar_rows(j, main)[0] > top and bar_rows(j, main), j.seconds(5),
                 "the thumb to move with the wheel")
    j._xdotool("mousemove", "--sync", "--window", main, BAR[0] + 5, LIST_TOP_OPEN + moved[0] + 5)
    j._xdotool("mousedown", 1)
    j._xdotool("mousemove", "--sync", "--window", main, BAR[0] + 5, LIST_BOTTOM - 10)
    j._xdotool("mouseup", 1)
    poll(lambda: bar_rows(j, main)[-1] > LIST_BOTTOM - LIST_TOP_OPEN - 20, j.seconds(5), "the thumb dragged down")
    j.screenshot("scrolled")
    j._xdotool("mousemove", "--sync", "--window", main, BAR[0] + 3, LIST_BOTTOM - 12)
    j._xdotool("mousedown", 1)
    j._xdotool("mousemove", "--sync", "--window", main, BAR[0] + 5, LIST_TOP_OPEN - 60)
    j._xdotool("mouseup", 1)
    poll(lambda: bar_rows(j, main)[0] == 0, j.seconds(5), "the thumb back at the top")

    j.say("a forward sends its body with nothing after content=")
    j.click(main, FORWARD_X, OPEN_ROW)
    type_input(j, FORWARD)
    entry = act(j, main, CONFIRM, 4, band=NOTICE_OPEN, request="c_reply", what="forwarded")
    check(entry["body"] == "share_id=%s&content=" % PICTURE, "forward body %r" % entry["body"])

    j.say("the wallpaper: set, or refused without a crash")
    j.click(main, FORWARD_X, OPEN_ROW)  # closes the input
    j.click(main, WALLPAPER_X, CLOSED_ROW)
    chars = poll(lambda: notice_chars(j, main, NOTICE_CLOSED), j.seconds(10), "the wallpaper notice")
    check(chars in (4, 5), "wallpaper notice of %d characters" % chars)
    j.screenshot("wallpaper")
    check(j.program.running(), "Quarn.exe ended after the wallpaper")

    j.say("the user's own picture: the like says so and sends nothing")
    for step in range(OWN_PICTURE_STEPS + 1):  # the first click may only end the viewer's introduction
        since = j.service.mark()
        j.click(main, SCREEN[0] // 2 + 200 + 10 * step, SCREEN[1] // 2)
        shown = poll(lambda: j.service.requests("c_comment_list", since), j.seconds(10), "the next picture's comments")
        if param(shown[-1], "id") == OWN_PICTURE:
            break
    check(param(shown[-1], "id") == OWN_PICTURE, "stepped to %r" % param(shown[-1], "id"))
    since = j.service.mark()
    act(j, main, (LIKE_X, CLOSED_ROW), 5, what="own-picture")
    check(not j.service.requests("a=fav", since), "a like of one's own picture was sent")


if __name__ == "__main__":
    sys.exit(run_journey("comments", session))
