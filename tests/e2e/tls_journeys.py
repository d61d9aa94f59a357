#!/usr/bin/env python3
"""Quarn.exe over TLS: the local service behind its TLS fronts
(tools/localservice/run.sh start --tls), the test authority trusted in the
journeys' Wine prefix only, the program pointed at a front by
QUARN_SERVICE_BASE_URL.

    tls_journeys.py --bin BIN_DIR --artifacts DIR --trust quarn_trust_ca.exe SESSION

SESSION:
  secure   through the trusted front: the home feed's first picture opens
           large (WinINet) with its thumbnails and comments (libcurl); a like
           while signed out opens the login, signing in sends it, and a
           comment goes out; every request arrived through the front
  refused  a certificate that is expired, for another host name or from an
           unknown authority: signing in says "网络错误！", nothing reaches
           the service, and the debug output says why (one start each)
"""

import glob
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

from quarn_e2e import check, columns_where, end_wine, is_red, poll, run_journey
import comment_journeys as view

HERE = os.path.dirname(os.path.abspath(__file__))
TRUST = os.path.join(HERE, "..", "..", "tools", "localservice", "trust-test-authority.sh")
MAIN = "Vorlane"
LOGIN = "登录Quarn"
ERROR_BAND = (40, 18, 240, 26)  # login window: the error text, centred on (160, 30)
COMMENT = "你好"

# The fronts' distances from the service's port, with what the debug
# output names for each refused certificate.
TRUSTED = 1000
REFUSED = [
    ("expired", 2000, "NOT_TIME_VALID"),
    ("wrong-host", 3000, "failed to match connection hostname"),
    ("unknown-authority", 4000, "PARTIAL_CHAIN"),
]


def front_url(j, offset):
    port = int(j.service.base.rstrip("/").rsplit(":", 1)[1])
    return "https://127.0.0.1:%d/" % (port + offset)


def trust_authority(j, program):
    env = dict(os.environ, WINEPREFIX=j.prefix)
    result = subprocess.run(["bash", TRUST, program], env=env, capture_output=True, text=True)
    check(result.returncode == 0, "the test authority is not trusted: " + result.stderr.strip())


def through_front(entry):
    return entry["headers"].get("X-Forwarded-Proto") == "https"


def forget_kept_data(j):
    """Pictures and answers kept by earlier runs in this prefix: they would be
    shown without asking, and their addresses lead to the front of that run."""
    for kept in ("image", "feeds"):
        for folder in glob.glob(os.path.join(j.prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                             "ostrel_quarn", kept)):
            shutil.rmtree(folder, ignore_errors=True)


def secure_session(j):
    forget_kept_data(j)
    j.program.write_config("<login />")
    j.start(will_type=COMMENT, extra_env={"QUARN_SERVICE_BASE_URL": front_url(j, TRUSTED)})
    main = j.find_window(MAIN)
    j.say("the first picture opens large with its thumbnails and comments")
    poll(lambda: j.service.requests("c_comment_list&id=" + view.PICTURE), j.seconds(30), "the picture's comments")
    large = lambda: [e for e in j.service.requests("/p%s_" % view.PICTURE) if "_160x160" not in e["path"]]
    poll(large, j.seconds(30), "the large picture")
    poll(lambda: j.service.requests("_160x160.jpg"), j.seconds(30), "thumbnails")
    j.settled(main, view.L, view.T, view.R - view.L, 200, timeout=20)
    j.screenshot("view")

    j.say("a like while signed out opens the login; signing in sends it")
    since = j.service.mark()
    j.click(main, view.LIKE_X, view.CLOSED_ROW)
    view.sign_in(j, main)
    j.service.wait_request("c_login", since)
    like = j.service.wait_request("a=fav", since)
    check(view.param(like, "id") == view.PICTURE, "liked %r" % view.param(like, "id"))
    poll(lambda: view.notice_chars(j, main, view.NOTICE_CLOSED) == 4, j.seconds(10), "喜欢成功")
    j.screenshot("liked")

    j.say("a comment goes out")
    poll(lambda: j.service.requests("c_comment_list&id=%s&uid=1001" % view.PICTURE), j.seconds(10),
         "signed-in comments")
    j.settled(main, view.L, view.T, view.R - view.L, 150)
    j.click(main, view.COMMENT_X, view.CLOSED_ROW)
    view.type_input(j, COMMENT)
    entry = view.act(j, main, view.CONFIRM, 4, band=view.NOTICE_OPEN, request="c_comment&", what="commented")
    check(view.param(entry, "content") == COMMENT, "comment params %r" % entry["params"])

    entries = j.service.log()["entries"]
    plain = [e["path"] for e in entries if not through_front(e)]
    check(not plain, "requests that did not come through the TLS front: %r" % plain[:5])
    j.say("%d requests, all through the TLS front" % len(entries))


def refused_row(j, name, offset, reason):
    j.say("%s: 网络错误！ and nothing sent" % name)
    forget_kept_data(j)
    j.service.reset()
    j.program.write_config("<login />")
    with open(j.program.output, "ab"):
        pass
    start_of_output = os.path.getsize(j.program.output)
    j.start(extra_env={"QUARN_SERVICE_BASE_URL": front_url(j, offset), "QUARN_WINEDEBUG": "+debugstr"})
    main = j.find_window(MAIN)
    login = view_login(j, main)
    view.sign_in(j, main)
    login = j.find_window(LOGIN)
    columns = poll(lambda: columns_where(j.pixels(login, *ERROR_BAND), is_red), j.seconds(20),
                   "网络错误！ for the %s certificate" % name)
    columns = [ERROR_BAND[0] + x for x in columns]
    # "网络错误！" is narrower than the refusal's "用户名或密码错误！".
    check(100 <= columns[0] and columns[-1] <= 220, "error text spans %d..%d" % (columns[0], columns[-1]))
    j.screenshot("refused-" + name)
    check(not j.service.log()["entries"], "requests reached the service through the %s front" % name)
    with open(j.program.output, "rb") as log:
        log.seek(start_of_output)
        output = log.read().decode("utf-8", "replace")
    notes = [line for line in output.splitlines() if "TLS refused" in line]
    check(notes, "no debug output says why the %s certificate was refused" % name)
    check(any(reason in line for line in notes), "the debug output for %s: %r" % (name, notes[:3]))
    j.program.stop()
    end_wine(j.prefix)


def view_login(j, main):
    """Opens the login window by its link on the main window."""
    j.click(main, j.display.size[0] - 240, 20)
    return j.find_window(LOGIN)


def refused_session(j):
    for name, offset, reason in REFUSED:
        refused_row(j, name, offset, reason)


SESSIONS = {"secure": secure_session, "refused": refused_session}


def tls_options(parser):
    parser.add_argument("--trust", required=True, help="quarn_trust_ca.exe")
    parser.add_argument("session", choices=sorted(SESSIONS))


if __name__ == "__main__":
    sys.exit(run_journey(lambda args: "tls-" + args.session, lambda j, args: SESSIONS[args.session](j),
                         options=tls_options, prepare=lambda j, args: trust_authority(j, args.trust)))
