"""Tests of the local picture service over real HTTP: answer layouts, state
changes, the control paths and the fault modes.

Run from tools/localservice:  python3 -m unittest
"""

import gzip
import hashlib
import http.client
import json
import math
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE_DIR = os.path.dirname(HERE)
sys.path.insert(0, SERVICE_DIR)

import answers  # noqa: E402
import control  # noqa: E402
import makedata  # noqa: E402
import sampledata as sd  # noqa: E402

DEMO_UID = "1001"
DEMO_TOKEN = sd.token_for(DEMO_UID)
DEMO_SESSION = "&uid=%s&token=%s" % (DEMO_UID, DEMO_TOKEN)

_data_dir = None
_servers = []


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


class Reply:
    def __init__(self, raw):
        self.raw = raw
        head, sep, self.body = raw.partition(b"\r\n\r\n")
        self.complete_head = bool(sep)
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split()[1]) if lines and lines[0].startswith("HTTP/") else None
        self.headers = {}
        for line in lines[1:]:
            key, _, value = line.partition(":")
            self.headers[key.strip().lower()] = value.strip()

    def json(self):
        return json.loads(self.body.decode("ascii"))

    def text(self):
        return self.body.decode("utf-8")


class Server:
    """One service process on a free port."""

    def __init__(self, *extra):
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(SERVICE_DIR, "server.py"), "--port", "0",
             "--data", _data_dir] + list(extra),
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            self.proc.kill()
            raise RuntimeError("service did not start: %r" % line)
        self.port = int(match.group(1))
        _servers.append(self)

    def request(self, target, method="POST", body=b"", headers=None, timeout=10.0):
        """Sends one request exactly as given (target may hold raw UTF-8 and
        spaces) and reads until the server closes, which it is asked to do
        unless the headers say otherwise. None: no answer at all."""
        if isinstance(target, str):
            target = target.encode("utf-8")
        if isinstance(body, str):
            body = body.encode("utf-8")
        lines = [b"%s %s HTTP/1.1" % (method.encode(), target),
                 b"Host: 127.0.0.1:%d" % self.port, b"Content-Length: %d" % len(body)]
        headers = dict(headers or {})
        if not any(key.lower() == "connection" for key in headers):
            headers["Connection"] = "close"
        for key, value in headers.items():
            lines.append(("%s: %s" % (key, value)).encode("utf-8"))
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        try:
            sock.sendall(b"\r\n".join(lines) + b"\r\n\r\n" + body)
            chunks = []
            while True:
                try:
                    data = sock.recv(1 << 16)
                except ConnectionResetError:
                    break
                if not data:
                    break
                chunks.append(data)
        finally:
            sock.close()
        raw = b"".join(chunks)
        return Reply(raw) if raw else None

    def json(self, target, body=b""):
        reply = self.request(target, body=body)
        assert reply is not None and reply.status == 200, target
        return reply.json()

    def control(self, name, query=""):
        return self.json("/__control/%s%s" % (name, "?" + query if query else ""))

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.request("/__control/shutdown", timeout=2)
            except OSError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()


def setUpModule():
    global _data_dir, SERVER
    _data_dir = tempfile.mkdtemp(prefix="quarn-service-test-")
    errors = makedata.make(_data_dir, tiny=True, quiet=True)
    if errors:
        raise RuntimeError("; ".join(errors))
    SERVER = Server()


def tearDownModule():
    for server in _servers:
        server.stop()
    shutil.rmtree(_data_dir, ignore_errors=True)


def jpeg_size(data):
    """(width, height) from a JPEG's frame header."""
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker = data[i + 1]
        length = int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    return None


PICTURE_KEYS = ["url", "uname", "avatar", "share_id", "uid", "content", "comment_count",
                "relay_count", "like_count", "city_name", "create_time"]


class ServiceTestCase(unittest.TestCase):
    def setUp(self):
        self.server = SERVER
        self.server.control("reset")

    def assertStrings(self, record, keys):
        for key in keys:
            self.assertIn(key, record)
            self.assertIsInstance(record[key], str, key)


class LayoutTests(ServiceTestCase):
    def test_category_list_and_category_feeds(self):
        for target in ("/book.php?action=c_all_list", "/u.php?action=c_all"):
            cats = self.server.json(target)
            self.assertIsInstance(cats, list)
            self.assertEqual([c["cate_id"] for c in cats], [str(i) for i in range(1, 9)])
            for cat in cats:
                self.assertStrings(cat, ["cate_id", "cate_code"])
                feed = self.server.json("/book.php?action=c_cate&cate=" + cat["cate_code"])
                self.assertGreaterEqual(len(feed["image_list"]), 20)
                self.assertIsInstance(feed["page"]["total"], int)
                self.assertIsInstance(feed["page"]["page_count"], int)
                for item in feed["image_list"]:
                    self.assertStrings(item, PICTURE_KEYS + ["follow_count", "fans"])
                    self.assertIn("http", item["url"])
                    int(item["comment_count"])
        by_number = self.server.json("/book.php?action=c_cate&cate=3")
        self.assertEqual(by_number["image_list"][0]["url"],
                         self.server.json("/book.php?action=c_cate&cate=fukei")["image_list"][0]["url"])

    def test_text_is_ascii_with_unicode_escapes_and_compact(self):
        reply = self.server.request("/book.php?action=c_hot_tag")
        reply.body.decode("ascii")
        self.assertIn(b'"name":"\\u98ce\\u666f"', reply.body)
        self.assertEqual(reply.json()["tag_list"][0]["name"], "风景")
        self.assertNotIn(b'": ', reply.body)

    def test_misspelled_keys_and_flag_types(self):
        daren = self.server.json("/daren.php?action=c_daren" + DEMO_SESSION)["daren_list"]
        self.assertTrue(daren)
        for user in daren:
            self.assertStrings(user, ["uid", "uname", "avatar", "img", "foolows_count",
                                      "fans_count", "favs_count", "photos_count"])
            self.assertIn(user["is_foolow"], (0, 1))
            self.assertNotIn("follows_count", user)
        fans = self.server.json("/u.php?action=c_fans" + DEMO_SESSION + "&page=0")
        self.assertIn("fnas_list", fans)
        self.assertNotIn("fans_list", fans)
        for fan in fans["fnas_list"]:
            self.assertStrings(fan, ["uid", "user_name", "avatar", "img"])
            self.assertIn(fan["is_follow"], (0, 1))
        found = self.server.json("/daren.php?action=c_search&sear=阿木" + DEMO_SESSION)["user_list"]
        self.assertGreaterEqual(len(found), 2)  # two users share this name
        self.assertTrue(all(u["uname"] == "阿木" and "foolows_count" in u for u in found))

    def test_picture_item_keys_by_feed_kind(self):
        own = self.server.json("/u.php?action=c_my_publish" + DEMO_SESSION + "&page=0")
        for item in own["image_list"]:
            self.assertStrings(item, PICTURE_KEYS + ["follow_count", "fans_count"])
            self.assertNotIn("fans", item)
        other = self.server.json("/u.php?action=c_photo&uid=1002&page=0")
        for item in other["image_list"]:
            self.assertStrings(item, ["img", "user_name", "avatar", "share_id", "uid", "content",
                                      "comment_count", "relay_count", "like_count", "city_name"])
            self.assertNotIn("url", item)
            self.assertNotIn("create_time", item)
        tag = self.server.json("/book.php?action=c_tag&tag=风景")
        self.assertNotIn("page", tag)
        self.assertTrue(tag["image_list"])
        for item in tag["image_list"]:
            self.assertStrings(item, PICTURE_KEYS)
        home = self.server.request("/book.php?action=c_all")
        self.assertIn(b"image_list", home.body)
        self.assertEqual(len(home.json()["image_list"]), answers.HOME_FEED_SIZE)

    def test_statistics_follows_comments_and_details(self):
        stats = self.server.json("/u.php?action=c_photo&uid=1002")
        self.assertStrings(stats["info_num"], ["follows", "fans", "favs", "photos"])
        follows = self.server.json("/u.php?action=c_follows" + DEMO_SESSION + "&page=0")
        with_share = [f for f in follows["follows_list"] if f["share"]]
        self.assertTrue(with_share)
        self.assertStrings(with_share[0]["share"]["photos"], ["follows", "fans", "favs", "photos"])
        self.assertTrue(all(f["is_follow"] == 1 for f in follows["follows_list"]))
        comments = self.server.json("/book.php?action=c_comment_list&id=5072" + DEMO_SESSION)
        self.assertIn(comments["is_follow"], ("0", "1"))
        self.assertTrue(comments["comment_list"])
        for c in comments["comment_list"]:
            self.assertStrings(c, ["comment_id", "share_id", "uid", "uname", "avatar", "content",
                                   "parent_id", "time"])
        details = self.server.json("/book.php?action=getShareIdInfo&share_id=5072")
        self.assertStrings(details, ["user_name", "content", "create_time", "uid", "collect_count",
                                     "comment_count", "relay_count"])
        self.assertEqual(details["comment_count"], str(len(comments["comment_list"])))

    def test_paging(self):
        first = self.server.json("/u.php?action=c_my_publish" + DEMO_SESSION + "&page=0")
        info = first["page"]
        self.assertEqual(info["page"], 1)
        self.assertEqual(info["page_count"], math.ceil(info["total"] / answers.PICTURE_PAGE_SIZE))
        self.assertGreater(info["page_count"], 1)
        last = self.server.json("/u.php?action=c_my_publish" + DEMO_SESSION
                                + "&page=%d" % info["page_count"])
        seen = {i["share_id"] for i in first["image_list"]}
        self.assertFalse(seen & {i["share_id"] for i in last["image_list"]})
        expected = info["total"] - (info["page_count"] - 1) * answers.PICTURE_PAGE_SIZE
        self.assertEqual(len(last["image_list"]), expected)

    def test_every_picture_name_is_served_in_its_size(self):
        item = self.server.json("/book.php?action=c_cate&cate=gal")["image_list"][0]
        address = item["url"]
        path = address.split("127.0.0.1:%d" % self.server.port, 1)[1]
        stem, ext = path.rsplit(".", 1)
        for suffix, size in sd.RENDITIONS:
            for method in ("GET", "POST"):
                reply = self.server.request("%s%s.%s" % (stem, suffix, ext), method=method)
                self.assertEqual(reply.status, 200, suffix)
                self.assertEqual(reply.headers["content-type"], "image/jpeg")
                self.assertEqual(jpeg_size(reply.body), size, suffix)
        avatar = self.server.request(item["avatar"].split(str(self.server.port), 1)[1], method="GET")
        self.assertEqual(jpeg_size(avatar.body), sd.AVATAR_SIZE)

    def test_big_picture(self):
        item = self.server.json("/book.php?action=c_tag&tag=big20mb")["image_list"][0]
        self.assertTrue(item["url"].endswith("/pictures/big20mb.jpg"))
        reply = self.server.request("/pictures/big20mb.jpg", method="GET", timeout=30)
        self.assertEqual(int(reply.headers["content-length"]), 20 * 1024 * 1024)
        self.assertEqual(len(reply.body), 20 * 1024 * 1024)
        self.assertEqual(reply.body[:2], b"\xff\xd8")
        head = self.server.request("/pictures/big20mb_1400x1050.jpg", method="HEAD")
        self.assertEqual(int(head.headers["content-length"]), 20 * 1024 * 1024)
        self.assertEqual(head.body, b"")

    def test_redirect_points_anywhere(self):
        for target in ("file:///etc/hostname", "ftp://127.0.0.1/x.jpg", "http://127.0.0.1:1/a.jpg"):
            reply = self.server.request("/redirect?to=" + target, method="GET")
            self.assertEqual(reply.status, 302, target)
            self.assertEqual(reply.headers["location"], target)
            self.assertEqual(reply.body, ("Found. Redirecting to %s\n" % target).encode("utf-8"))
        injected = self.server.request("/redirect?to=a%0D%0AX:%20y", method="GET")
        self.assertEqual(injected.headers["location"], "aX: y")
        self.assertNotIn("x", injected.headers)

    def test_unknown_paths_are_404(self):
        for target in ("/nothing.php?action=c_all", "/book.php?action=c_nothing", "/pictures/none.jpg",
                       "/pictures/../server.py", "/u.php"):
            self.assertEqual(self.server.request(target).status, 404, target)


class SessionTests(ServiceTestCase):
    def login(self, user, password_digest):
        return self.server.json("/user.php?action=c_login",
                                body="username=%s&password=%s" % (user, password_digest))

    def test_login_checks_the_password_digest(self):
        ok = self.login("demo@quarn.test", md5("quarn123"))
        self.assertEqual(ok["status"], 0)
        self.assertStrings(ok["data"], ["uname", "token", "uid", "avatar", "image_count",
                                        "like_count", "follow_count", "fans_count"])
        self.assertEqual(ok["data"]["token"], DEMO_TOKEN)
        self.assertEqual(self.login("demo@quarn.test", md5("wrong"))["status"], 1)
        self.assertEqual(self.login("demo@quarn.test", "quarn123")["status"], 1)
        self.assertEqual(self.login("nobody@quarn.test", md5("quarn123"))["status"], 1)

    def test_own_statistics_and_notice_counts(self):
        stats = self.server.json("/user.php?action=c_login&token=" + DEMO_TOKEN)
        self.assertStrings(stats["data"], ["image_count", "like_count", "follow_count", "fans_count"])
        self.assertIsInstance(stats["data"]["is_num"], int)
        counts = self.server.json("/u.php?action=c_notice" + DEMO_SESSION)
        self.assertEqual({k: type(v) for k, v in counts.items()}, {"comm": int, "reply": int, "atten": int})
        self.assertEqual(stats["data"]["is_num"], sum(counts.values()))
        self.server.control("notice", "uid=1001&reply=4")
        self.assertEqual(self.server.json("/u.php?action=c_notice" + DEMO_SESSION)["reply"],
                         counts["reply"] + 4)
        self.assertEqual(self.server.json("/u.php?action=c_notice&uid=1001&token=bad")["status"], 1)

    def test_crash_upload_is_answered_and_logged(self):
        dump = b"MDMP" + bytes(range(256)) * 8
        reply = self.server.request("/crash.php?action=upload", body=dump,
                                    headers={"Content-Type": "application/octet-stream"})
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.json()["status"], 0)
        entry = self.server.control("log", "limit=1")["entries"][0]
        self.assertEqual(entry["path"], "/crash.php")
        self.assertEqual(entry["body_size"], len(dump))

    def test_logout_path_with_two_ampersands(self):
        reply = self.server.request("/user.php?action=c_logout&&uid=1001&token=" + DEMO_TOKEN)
        self.assertEqual(reply.status, 200)
        entry = self.server.control("log", "limit=1")["entries"][0]
        self.assertEqual(entry["query"], "action=c_logout&&uid=1001&token=" + DEMO_TOKEN)


class ActionTests(ServiceTestCase):
    def test_follow_toggles(self):
        target = "/u.php?action=c_follow" + DEMO_SESSION + "&buid=1004"
        before = self.server.control("state", "uid=1004")
        first = self.server.request(target).body
        self.assertIn(b'"status":0', first)
        self.assertIn("1001", self.server.control("state", "uid=1004")["fans"])
        self.assertEqual(self.server.control("state", "uid=1004")["unread"]["atten"],
                         before["unread"]["atten"] + 1)
        self.assertIn(b'"status":0', self.server.request(target).body)
        self.assertNotIn("1001", self.server.control("state", "uid=1004")["fans"])
        bad = self.server.request("/u.php?action=c_follow&uid=1001&token=bad&buid=1004").body
        self.assertNotIn(b'"status":0', bad)

    def test_like_then_already_liked(self):
        target = "/services/service.php?m=share&a=fav" + DEMO_SESSION + "&id=5072"
        count = int(self.server.json("/book.php?action=getShareIdInfo&share_id=5072")["collect_count"])
        self.assertIn(b'"status":4', self.server.request(target).body)
        self.assertIn(b'"status":2', self.server.request(target).body)
        self.assertEqual(self.server.json("/book.php?action=getShareIdInfo&share_id=5072")["collect_count"],
                         str(count + 1))
        liked = self.server.json("/u.php?action=c_my_like" + DEMO_SESSION + "&page=1")
        self.assertEqual(liked["image_list"][0]["share_id"], "5072")
        bad = self.server.request("/services/service.php?m=share&a=fav&uid=1001&token=x&id=5072").body
        self.assertIn(b'"status":0', bad)
        self.assertNotIn(b'"status":4', bad)

    def test_comment_and_reply(self):
        base = "/u.php?action=c_comment" + DEMO_SESSION + "&share_id=5072"
        reply = self.server.request(base + "&parent_id=0&content=你好 世界").body
        self.assertIn(b'"status":0', reply)
        top = self.server.json("/book.php?action=c_comment_list&id=5072")["comment_list"][0]
        self.assertEqual((top["content"], top["parent_id"], top["uid"]), ("你好 世界", "0", "1001"))
        answer = self.server.request(base + "&parent_id=%s&content=//@x:同意" % top["comment_id"]).body
        self.assertIn(b'"status":0', answer)
        newest = self.server.json("/book.php?action=c_comment_list&id=5072")["comment_list"][0]
        self.assertEqual(newest["parent_id"], top["comment_id"])
        # unescaped text: an "&" ends the parameter, as it does for the real service
        self.server.request(base + "&parent_id=0&content=a&b")
        self.assertEqual(self.server.json("/book.php?action=c_comment_list&id=5072")["comment_list"][0]["content"], "a")
        self.assertNotIn(b'"status":0', self.server.request(base + "&parent_id=424242&content=x").body)
        self.assertNotIn(b'"status":0', self.server.request(
            "/u.php?action=c_comment&uid=1001&token=bad&share_id=5072&parent_id=0&content=x").body)

    def test_forward_reads_the_form_body(self):
        before = int(self.server.json("/book.php?action=getShareIdInfo&share_id=5072")["relay_count"])
        reply = self.server.request("/u.php?action=c_reply" + DEMO_SESSION, body="share_id=5072&content=")
        self.assertIn(b'"status":0', reply.body)
        self.assertEqual(self.server.json("/book.php?action=getShareIdInfo&share_id=5072")["relay_count"],
                         str(before + 1))
        self.assertNotIn(b'"status":0', self.server.request(
            "/u.php?action=c_reply&uid=1001&token=bad", body="share_id=5072&content=").body)

    def test_reset_restores_sample_state(self):
        self.server.request("/services/service.php?m=share&a=fav" + DEMO_SESSION + "&id=5072")
        self.server.control("reset")
        self.assertIn(b'"status":4', self.server.request(
            "/services/service.php?m=share&a=fav" + DEMO_SESSION + "&id=5072").body)


class ControlTests(ServiceTestCase):
    def test_log_records_requests_but_not_control_paths(self):
        self.server.request("/u.php?action=c_reply" + DEMO_SESSION, body="share_id=5072&content=",
                            headers={"X-Test": "yes"})
        self.server.control("status")
        log = self.server.control("log")
        self.assertEqual(log["count"], 1)
        entry = log["entries"][0]
        self.assertEqual((entry["method"], entry["path"], entry["body"]),
                         ("POST", "/u.php", "share_id=5072&content="))
        self.assertEqual(entry["query"], "action=c_reply" + DEMO_SESSION)
        self.assertEqual(entry["headers"]["X-Test"], "yes")
        self.assertEqual(entry["status"], 200)
        self.assertEqual(self.server.control("log", "since=%d" % entry["seq"])["count"], 0)
        self.server.control("reset")
        self.assertEqual(self.server.control("log")["count"], 0)

    def test_raw_utf8_is_logged_as_sent(self):
        self.server.request("/book.php?action=c_tag&tag=风景 a")
        self.server.request("/book.php?action=c_tag&tag=%E9%A3%8E")
        first, second = self.server.control("log")["entries"]
        self.assertEqual(first["query"], "action=c_tag&tag=风景 a")
        self.assertEqual(second["query"], "action=c_tag&tag=%E9%A3%8E")
        self.assertEqual(second["params"][1], ["tag", "风"])

    def test_bad_control_values_are_refused(self):
        self.assertEqual(self.server.request("/__control/log?since=abc").status, 400)
        self.assertEqual(self.server.request("/__control/nothing").status, 404)

    def test_log_is_bounded(self):
        log = control.RequestLog(capacity=3)
        for i in range(5):
            log.add({"n": i})
        snap = log.snapshot()
        self.assertEqual([e["n"] for e in snap["entries"]], [2, 3, 4])
        self.assertEqual(snap["dropped"], 2)


class ConnectionTests(ServiceTestCase):
    def keep_alive(self):
        return http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)

    def test_answers_keep_the_connection_open_and_it_is_counted_once(self):
        conn = self.keep_alive()
        try:
            for target in ("/book.php?action=c_all_list", "/book.php?action=c_hot_tag",
                           "/book.php?action=c_all"):
                conn.request("POST", target, body=b"")
                reply = conn.getresponse()
                reply.read()
                self.assertEqual(reply.status, 200)
                self.assertNotEqual(reply.getheader("Connection", ""), "close")
        finally:
            conn.close()
        self.assertEqual(self.server.control("status")["connections"], 1)

    def test_closing_answers_and_control_paths_end_the_connection(self):
        # Each would otherwise leave the client waiting for the rest or the end.
        for mode in ("short", "nolength", "huge"):
            with self.subTest(mode=mode):
                self.server.control("fault", "mode=%s&scope=json" % mode)
                reply = self.server.request("/book.php?action=c_all_list",
                                            headers={"Connection": "keep-alive"}, timeout=5)
                self.assertEqual(reply.headers.get("connection"), "close")
        reply = self.server.request("/__control/status", headers={"Connection": "keep-alive"})
        self.assertEqual(reply.headers.get("connection"), "close")

    def test_dropping_closes_idle_connections(self):
        conn = self.keep_alive()
        try:
            conn.request("POST", "/book.php?action=c_hot_tag", body=b"")
            conn.getresponse().read()
            self.assertEqual(self.server.control("drop")["dropped"], 1)
            # The next request on it meets a closed connection.
            with self.assertRaises((http.client.HTTPException, OSError)):
                conn.request("POST", "/book.php?action=c_hot_tag", body=b"")
                conn.getresponse().read()
        finally:
            conn.close()
        self.assertEqual(self.server.control("drop")["dropped"], 0)

    def test_the_most_requests_answered_at_once_are_counted(self):
        # Each answer waits, so requests sent together are answered together.
        for together, expected in ((1, 1), (3, 3)):
            with self.subTest(together=together):
                self.server.control("reset")
                self.server.control("fault", "latency_ms=300")
                statuses = []
                workers = [threading.Thread(target=lambda: statuses.append(
                    self.server.request("/book.php?action=c_hot_tag").status)) for _ in range(together)]
                for worker in workers:
                    worker.start()
                for worker in workers:
                    worker.join()
                self.assertEqual(statuses, [200] * together)
                self.assertEqual(self.server.control("status")["most_at_once"], expected)


class CompressionTests(ServiceTestCase):
    def test_json_answers_are_gzipped_only_for_a_client_that_accepts_it(self):
        target = "/book.php?action=c_all_list"
        plain = self.server.request(target)
        self.assertNotIn("content-encoding", plain.headers)
        packed = self.server.request(target, headers={"Accept-Encoding": "deflate, gzip"})
        self.assertEqual(packed.headers.get("content-encoding"), "gzip")
        self.assertEqual(gzip.decompress(packed.body), plain.body)
        self.assertEqual(int(packed.headers["content-length"]), len(packed.body))

    def test_pictures_and_faulty_answers_stay_plain(self):
        avatar = self.server.request("/avatars/u1001.jpg", method="GET", headers={"Accept-Encoding": "gzip"})
        self.assertNotIn("content-encoding", avatar.headers)
        self.server.control("fault", "mode=badjson")
        cut = self.server.request("/book.php?action=c_all_list", headers={"Accept-Encoding": "gzip"})
        self.assertNotIn("content-encoding", cut.headers)


class RttShimTests(ServiceTestCase):
    RTT_MS = 300

    def setUp(self):
        super().setUp()
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.control_port = probe.getsockname()[1]
        self.shim = subprocess.Popen(
            [sys.executable, os.path.join(SERVICE_DIR, "rtt_shim.py"), "--listen", "0",
             "--to", "127.0.0.1:%d" % self.server.port, "--rtt-ms", str(self.RTT_MS),
             "--control", str(self.control_port)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", self.shim.stdout.readline())
        if not match:
            self.shim.kill()
            self.fail("shim did not start")
        self.port = int(match.group(1))

    def tearDown(self):
        self.shim.terminate()
        self.shim.wait(5)
        self.shim.stdout.close()

    def timed_request(self, conn, target):
        started = time.monotonic()
        conn.request("POST", target, body=b"")
        reply = conn.getresponse()
        body = reply.read()
        return time.monotonic() - started, reply.status, body

    def test_a_new_connection_costs_two_round_trips_a_kept_one_one(self):
        rtt = self.RTT_MS / 1000.0
        direct = self.server.request("/book.php?action=c_all_list").body
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            first, status, body = self.timed_request(conn, "/book.php?action=c_all_list")
            self.assertEqual((status, body), (200, direct))
            again, status, body = self.timed_request(conn, "/book.php?action=c_all_list")
            self.assertEqual((status, body), (200, direct))
        finally:
            conn.close()
        self.assertGreaterEqual(first, 2 * rtt)
        self.assertGreaterEqual(again, rtt)

    def test_a_large_answer_arrives_whole(self):
        picture = "/pictures/big20mb.jpg"
        direct = self.server.request(picture, method="GET").body
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
        try:
            conn.request("GET", picture)
            relayed = conn.getresponse().read()
        finally:
            conn.close()
        self.assertEqual(relayed, direct)

    def test_a_control_request_closes_every_relayed_connection(self):
        target = "/book.php?action=c_all_list"
        kept = [http.client.HTTPConnection("127.0.0.1", self.port, timeout=10) for _ in range(2)]
        try:
            for conn in kept:
                self.assertEqual(self.timed_request(conn, target)[1], 200)
            control = http.client.HTTPConnection("127.0.0.1", self.control_port, timeout=10)
            control.request("POST", "/")
            reply = control.getresponse()
            self.assertEqual((reply.status, reply.read()), (200, b"2"))
            control.close()
            for conn in kept:
                with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
                    self.timed_request(conn, target)
        finally:
            for conn in kept:
                conn.close()
        fresh = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            self.assertEqual(self.timed_request(fresh, target)[1], 200)
        finally:
            fresh.close()


class FaultTests(ServiceTestCase):
    FEED = "/book.php?action=c_cate&cate=fukei"
    PICTURE = "/pictures/fukei/p5072_160x160.jpg"

    def fault(self, query):
        return self.server.control("fault", query)

    def tearDown(self):
        self.fault("mode=normal&latency_ms=0")

    def test_down_answers_nothing_but_control_still_works(self):
        self.fault("mode=down")
        self.assertIsNone(self.server.request(self.FEED))
        self.assertIsNone(self.server.request(self.PICTURE, method="GET"))
        self.assertEqual(self.server.control("log")["entries"][-1]["status"], "reset")
        self.fault("mode=normal")
        self.assertEqual(self.server.request(self.FEED).status, 200)

    def test_silent_holds_the_connection(self):
        self.fault("mode=silent&hold_s=30")
        sock = socket.create_connection(("127.0.0.1", self.server.port), timeout=0.5)
        try:
            sock.sendall(b"POST %s HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n" % self.FEED.encode())
            with self.assertRaises(socket.timeout):
                sock.recv(100)
        finally:
            sock.close()
        self.fault("mode=normal")
        self.assertEqual(self.server.request(self.FEED).status, 200)

    def test_slow_and_latency_delay_answers(self):
        self.fault("mode=slow&delay_ms=300")
        started = time.monotonic()
        self.assertEqual(self.server.request(self.FEED).status, 200)
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        settings = self.fault("mode=normal&latency_ms=150")
        self.assertEqual((settings["mode"], settings["latency_ms"]), ("normal", 150))
        started = time.monotonic()
        self.server.request(self.PICTURE, method="GET")
        self.assertGreaterEqual(time.monotonic() - started, 0.15)

    def test_html_pages_instead_of_pictures_and_json(self):
        self.fault("mode=html")
        for target in (self.PICTURE, self.FEED):
            reply = self.server.request(target)
            self.assertIn(b"Bad Request (Invalid Hostname)", reply.body)
            self.assertIn(b"HTML", reply.body)
        self.fault("mode=html&status=400&scope=pictures")
        self.assertEqual(self.server.request(self.PICTURE).status, 400)
        self.server.request(self.FEED).json()

    def test_badjson_and_wrongtypes(self):
        self.fault("mode=badjson")
        reply = self.server.request(self.FEED)
        self.assertIn(b"image_list", reply.body)
        with self.assertRaises(ValueError):
            reply.json()
        self.assertEqual(jpeg_size(self.server.request(self.PICTURE).body), (160, 160))
        self.fault("mode=wrongtypes")
        item = self.server.request(self.FEED).json()["image_list"][0]
        self.assertIsInstance(item["comment_count"], int)
        self.assertIsInstance(item["share_id"], int)
        like = self.server.request("/services/service.php?m=share&a=fav" + DEMO_SESSION + "&id=5072")
        self.assertIn(b'"status":"4"', like.body)

    def test_short_nolength_and_huge_answers(self):
        self.fault("mode=short")
        reply = self.server.request(self.PICTURE)
        announced = int(reply.headers["content-length"])
        self.assertLess(len(reply.body), announced)
        self.fault("mode=nolength")
        reply = self.server.request(self.FEED)
        self.assertNotIn("content-length", reply.headers)
        self.assertTrue(reply.json()["image_list"])
        picture = self.server.request(self.PICTURE)
        self.assertEqual(jpeg_size(picture.body), (160, 160))
        for mode in ("short", "html"):
            self.fault("mode=%s&length=0&scope=pictures" % mode)
            reply = self.server.request(self.PICTURE)
            self.assertNotIn("content-length", reply.headers)
            self.assertNotEqual(reply.body, picture.body)
            self.assertEqual(reply.status, 200)
        self.fault("mode=huge")
        reply = self.server.request(self.FEED)
        self.assertNotIn("content-length", reply.headers)
        self.assertEqual(len(reply.body), 17 * 1024 * 1024)
        self.assertTrue(reply.json()["image_list"])

    def test_stretched_feed_and_exact_oversize_answer(self):
        self.fault("mode=manyfeed&match=c_cate")
        feed = self.server.request(self.FEED).json()
        ids = [item["share_id"] for item in feed["image_list"]]
        self.assertEqual(len(ids), 10000)
        self.assertEqual(len(set(ids)), 10000)
        self.assertEqual(feed["page"]["total"], 10000)
        self.assertTrue(all(item["url"].endswith(".jpg") for item in feed["image_list"]))
        self.assertEqual(len(self.server.request("/book.php?action=c_all").json()["image_list"]),
                         answers.HOME_FEED_SIZE)
        self.fault("mode=oversize")
        for target in (self.FEED, self.PICTURE):
            reply = self.server.request(target)
            self.assertEqual(len(reply.body), 16 * 1024 * 1024 + 1)
            self.assertEqual(reply.headers["content-length"], str(16 * 1024 * 1024 + 1))
        self.assertTrue(reply.body.rstrip(b" ").endswith(b"\xff\xd9"))
        self.assertTrue(self.server.request(self.FEED).json()["image_list"])
        self.assertEqual(self.server.request("/__control/fault?mode=manyfeed&items=-1").status, 400)

    def test_hostile_text_in_lists(self):
        self.fault("mode=hostiletext")
        body = self.server.request(self.FEED).body
        self.assertTrue(b"\xff\xfe\xc3(\xe6\x9c" in body)
        feed = json.loads(body.decode("utf-8", "replace"))
        items = feed["image_list"]
        self.assertEqual(items[0]["content"], "")
        self.assertEqual(items[1]["content"], "\u957f" * 5000)
        self.assertIn("\r\n", items[2]["content"])
        self.assertEqual(items[2]["uname"], items[2]["content"])
        self.assertEqual(items[4]["content"].strip(), "")
        self.assertTrue(all(item["url"].endswith(".jpg") for item in items))
        comments = self.server.request("/book.php?action=c_comment_list&id=5072").json()["comment_list"]
        self.assertEqual([c["content"] for c in comments[:2]], ["", "\u957f" * 5000])
        self.fault("mode=normal")
        self.assertFalse(b"\xff" in self.server.request(self.FEED).body)

    def test_cut_bomb_and_missing_pictures(self):
        whole = self.server.request(self.PICTURE).body
        self.fault("mode=truncjpeg&scope=pictures")
        reply = self.server.request(self.PICTURE)
        self.assertEqual(reply.status, 200)
        self.assertEqual(reply.body, whole[:len(whole) // 2])
        self.assertEqual(int(reply.headers["content-length"]), len(reply.body))
        self.server.request(self.FEED).json()
        self.fault("mode=bomb&scope=pictures")
        bomb = self.server.request(self.PICTURE).body
        self.assertEqual(jpeg_size(bomb), (20000, 20000))
        self.assertEqual(len(bomb), len(whole))
        self.fault("mode=notfound&scope=pictures")
        self.assertEqual(self.server.request(self.PICTURE).status, 404)
        self.assertEqual(self.server.request("/avatars/u1001.jpg").status, 404)
        self.server.request(self.FEED).json()

    def test_redirect_loop_points_back_at_itself(self):
        self.fault("mode=loop&scope=pictures")
        for _ in range(3):
            reply = self.server.request(self.PICTURE)
            self.assertEqual(reply.status, 302)
            self.assertEqual(reply.headers["location"], "http://127.0.0.1:%d%s" % (self.server.port, self.PICTURE))
        self.assertEqual(self.server.request(self.FEED).status, 200)

    def test_match_and_count_limit_the_fault(self):
        self.fault("mode=down&match=c_cate&count=1")
        self.assertEqual(self.server.request("/book.php?action=c_hot_tag").status, 200)
        self.assertIsNone(self.server.request(self.FEED))
        self.assertEqual(self.server.request(self.FEED).status, 200)
        self.assertEqual(self.fault("")["mode"], "normal")

    def test_bad_settings_are_refused(self):
        reply = self.server.request("/__control/fault?mode=bogus")
        self.assertEqual(reply.status, 400)
        self.assertEqual(self.fault("")["mode"], "normal")

    def test_start_mode_from_the_command_line_survives_reset(self):
        other = Server("--fault", "html")
        try:
            self.assertIn(b"Invalid Hostname", other.request(self.FEED).body)
            other.control("fault", "mode=normal")
            other.request(self.FEED).json()
            other.control("reset")
            self.assertIn(b"Invalid Hostname", other.request(self.FEED).body)
        finally:
            other.stop()


class PageTests(ServiceTestCase):
    def test_every_page_is_chinese_html(self):
        session = "uid=1001&token=" + DEMO_TOKEN
        targets = ["/user.php?action=c_register", "/user.php?action=c_forgetpassword",
                   "/settings.php?action=c_personal&%s&rand=7" % session,
                   "/u.php?action=image&" + session, "/u.php?action=trans_page&%s&rand=7" % session,
                   "/u.php?action=comm_page&%s&rand=7" % session,
                   "/u.php?action=reply_page&%s&rand=7" % session,
                   "/u.php?action=atten_page&%s&rand=7" % session,
                   "/suggestion/?nickname=ab%201", "/suggestion/"]
        for target in targets:
            for method in ("GET", "POST"):
                reply = self.server.request(target, method=method)
                self.assertEqual(reply.status, 200, target)
                self.assertTrue(reply.headers["content-type"].startswith("text/html"))
                self.assertIn("charset=utf-8", reply.text())
                self.assertNotIn("请先登录", reply.text(), target)

    def test_pages_call_the_client(self):
        session = "uid=1001&token=" + DEMO_TOKEN
        comm = self.server.request("/u.php?action=comm_page&%s&rand=1" % session).text()
        self.assertIn("callClient('comm'", comm)
        self.assertIn("ext.comm(a, b)", comm)
        self.assertEqual(self.server.json("/u.php?action=c_notice&" + session)["comm"], 0)
        reply = self.server.request("/u.php?action=reply_page&%s&rand=1" % session).text()
        self.assertIn("callClient('reply'", reply)
        saved = self.server.request("/settings.php?action=c_personal_save&" + session,
                                    body="nickname=%E5%B0%8F%E5%A4%B8&city=&avatar=%2Favatars%2Fchoice2.jpg")
        self.assertIn("callClient(&#x27;img&#x27;, &#x27;http://127.0.0.1:%d/avatars/choice2.jpg"
                      % self.server.port, saved.text())
        login = self.server.json("/user.php?action=c_login",
                                 body="username=demo@quarn.test&password=" + md5("quarn123"))
        self.assertEqual(login["data"]["uname"], "小夸")
        self.assertTrue(login["data"]["avatar"].endswith("/avatars/choice2.jpg"))
        self.assertIn("请先登录", self.server.request("/u.php?action=image&uid=1001&token=x").text())

    def test_registration_creates_an_account(self):
        self.server.request("/user.php?action=c_register_save",
                            body="email=new%40quarn.test&nickname=New&password=secret1&password2=secret1")
        login = self.server.json("/user.php?action=c_login",
                                 body="username=new@quarn.test&password=" + md5("secret1"))
        self.assertEqual((login["status"], login["data"]["uname"]), (0, "New"))

    def test_upload_adds_a_picture(self):
        session = "uid=1001&token=" + DEMO_TOKEN
        with open(os.path.join(_data_dir, "avatars", "u1001.jpg"), "rb") as f:
            picture = f.read()
        boundary = "XyZ"
        parts = []
        for name, value in (("cate", "fukei"), ("content", "新图"), ("tags", "测试")):
            parts.append('--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n'
                         % (boundary, name, value))
        body = "".join(parts).encode("utf-8")
        body += ('--%s\r\nContent-Disposition: form-data; name="picture"; filename="a.jpg"\r\n'
                 "Content-Type: image/jpeg\r\n\r\n" % boundary).encode() + picture
        body += ("\r\n--%s--\r\n" % boundary).encode()
        reply = self.server.request("/u.php?action=image_save&" + session, body=body,
                                    headers={"Content-Type": "multipart/form-data; boundary=" + boundary})
        self.assertIn("上传成功", reply.text())
        newest = self.server.json("/u.php?action=c_my_publish&%s&page=1" % session)["image_list"][0]
        self.assertEqual(newest["content"], "新图")
        thumb = newest["url"].split(str(self.server.port), 1)[1].replace(".jpg", "_160x160.jpg")
        self.assertEqual(jpeg_size(self.server.request(thumb).body), (160, 160))
        tagged = self.server.json("/book.php?action=c_tag&tag=测试")["image_list"]
        self.assertEqual(tagged[0]["share_id"], newest["share_id"])


class DataFolderTests(unittest.TestCase):
    """The rendered pictures every test and benchmark reads."""

    def test_a_broken_or_overlapping_run_is_repaired_and_runs_do_not_overlap(self):
        folder = tempfile.mkdtemp(prefix="quarn-service-data-test-")
        self.addCleanup(shutil.rmtree, folder, True)
        self.assertEqual(makedata.make(folder, tiny=True, quiet=True), [])
        picture = sd.pictures()[0]
        thumbnail = makedata.rendition_path(folder, picture["path"], "_160x160")
        whole = os.path.getsize(thumbnail)
        # What two runs writing at once left: an empty picture beside a
        # temporary file, under a finished folder's stamp.
        open(thumbnail, "w").close()
        leftover = thumbnail + ".part.jpg"
        with open(leftover, "wb") as f:
            f.write(b"\xff\xd8")
        rows = [
            ("the empty picture is made again", lambda: os.path.getsize(thumbnail), whole),
            ("the temporary file goes", lambda: os.path.exists(leftover), False),
            ("nothing else is left", lambda: makedata.debris(folder), []),
        ]
        # Two runs at once: the one that waited finds the folder finished.
        results = []
        runs = [threading.Thread(target=lambda: results.append(makedata.make(folder, tiny=True, quiet=True)))
                for _ in range(2)]
        for run in runs:
            run.start()
        for run in runs:
            run.join()
        self.assertEqual(results, [[], []])
        for name, read, expected in rows:
            self.assertEqual(read(), expected, name)


if __name__ == "__main__":
    unittest.main()
