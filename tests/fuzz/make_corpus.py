#!/usr/bin/env python3
"""Writes the seed corpus of the answer-parser fuzz target: one file per
answer, its first byte selecting the feed kind (the index into the target's
kind table; one past it, the login answer), then the answer text. The
service's own answers come from a running local service; the edge and hostile
documents are made here. A name containing "-bad-" marks a document the parser
must refuse; the native tests hold it to that.

    python3 tests/fuzz/make_corpus.py http://127.0.0.1:8710/
    python3 tests/fuzz/make_corpus.py --offline     # edge and hostile documents only
"""

import json
import os
import sys
import urllib.request

KINDS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, "login"]
SESSION = "&uid=1001&token=4dc807a2a0973d59be2d231c5b4a9f59"

ANSWERS = [
    (22, "categories", "book.php?action=c_all_list"),
    (0, "category-gal", "book.php?action=c_cate&cate=gal"),
    (7, "category-sukini", "book.php?action=c_cate&cate=sukini"),
    (26, "home", "book.php?action=c_all" + SESSION),
    (9, "liked", "u.php?action=c_my_like" + SESSION + "&page=1"),
    (16, "published", "u.php?action=c_my_publish" + SESSION + "&page=0"),
    (8, "user-pictures", "u.php?action=c_photo&uid=1002&page=1"),
    (23, "user-stats", "u.php?action=c_photo&uid=1002"),
    (20, "tag", "book.php?action=c_tag&tag=HDR"),
    (21, "hot-tags", "book.php?action=c_hot_tag"),
    (10, "featured", "daren.php?action=c_daren" + SESSION),
    (27, "search", "daren.php?action=c_search&sear=%E9%98%BF" + SESSION),
    (14, "follows", "u.php?action=c_follows" + SESSION + "&page=1"),
    (24, "follows-of", "u.php?action=c_follows&uid=1001&uid2=1002&token=4dc807a2a0973d59be2d231c5b4a9f59&page=1"),
    (15, "fans", "u.php?action=c_fans" + SESSION + "&page=1"),
    (11, "comments", "book.php?action=c_comment_list&id=5001" + SESSION),
    (17, "comments-user", "book.php?action=c_comment_list&id=5005"),
    (25, "comments-tag", "book.php?action=c_comment_list&id=5010"),
    (29, "comments-current", "book.php?action=c_comment_list&id=5013"),
    (28, "details", "book.php?action=getShareIdInfo&share_id=5001"),
]

# Edge documents the service never sends on its own.
EDGES = [
    (0, "wrong-type", '{"page":{"total":1,"page_count":1,"page":1},"image_list":[{"url":"http://a/p.jpg","comment_count":3}]}'),
    (0, "escapes", '{"image_list":[{"url":"http://a/p.jpg","content":"\\u56FE\\ud83d\\ude00"},{"url":""},{"url":"http://b/x/..\\\\CON.jpg"}]}'),
    (22, "empty-categories", "[]"),
    (16, "page-strings", '{"page":{"total":"3"},"image_list":[]}'),
    (14, "share-flags", '{"follows_list":[{"share":{"photos":{"fans":"1"}}},{"share":[]},{"share":"x"}]}'),
    (28, "time-text", '{"create_time":"-99999999999999"}'),
]

# ---- wrong types ----------------------------------------------------------------------

PICTURE = {"url": "http://127.0.0.1/p/p1.jpg", "uname": "a", "avatar": "http://127.0.0.1/a.jpg",
           "share_id": "1", "uid": "2", "content": "c", "comment_count": "3", "relay_count": "4",
           "like_count": "5", "city_name": "x", "create_time": "6", "follow_count": "7", "fans": "8"}
USER = {"uid": "1", "uname": "a", "user_name": "a", "avatar": "http://127.0.0.1/a.jpg",
        "img": "http://127.0.0.1/p.jpg", "foolows_count": "1", "fans_count": "2", "favs_count": "3",
        "photos_count": "4", "is_follow": 1, "is_foolow": 0}
COUNTS = {"follows": "1", "fans": "2", "favs": "3", "photos": "4"}
COMMENT = {"comment_id": "1", "share_id": "2", "uid": "3", "uname": "a", "avatar": "http://127.0.0.1/a.jpg",
           "content": "c", "parent_id": "0", "time": "t"}
PAGE = {"total": 1, "page_count": 1, "page": 1}
DETAILS = {k: "1" for k in ("user_name", "content", "create_time", "uid", "collect_count", "comment_count",
                            "relay_count")}
LOGIN_DATA = {"uname": "a", "token": "t", "uid": "1", "avatar": "http://127.0.0.1/a.jpg",
              "image_count": "1", "like_count": "2", "follow_count": "3", "fans_count": "4"}

# Every JSON type a value may not have: text takes strings, null and truth
# values; an integer takes numbers in the int range, null and truth values; a
# container only its own kind or null.
WRONG = {
    "text": {"number": 7, "array": [], "object": {}},
    "int": {"string": "7", "array": [1], "object": {}, "over": 2147483648, "under": -2147483649},
    "array": {"number": 1, "string": "x", "object": {}, "true": True},
    "object": {"number": 1, "string": "x", "array": [], "true": True},
    "status": {"string": "0", "array": [], "object": {}, "true": True, "null": None},
}


def fields(prefix, keys, kind="text"):
    return [(prefix + [k], kind) for k in keys]


# (kind, layout, a usable document, [(path to a value, what it must be)]).
LAYOUTS = [
    (0, "page", {"page": PAGE, "image_list": [PICTURE]},
     [([], "object"), (["page"], "object"), (["image_list"], "array"), (["image_list", 0], "object")]
     + fields(["page"], PAGE, "int") + fields(["image_list", 0], PICTURE)),
    (8, "user-pictures", {"image_list": [dict(PICTURE, img=PICTURE["url"], user_name="a")]},
     fields(["image_list", 0], ["img", "user_name"])),
    (16, "published", {"image_list": [dict(PICTURE, fans_count="8")]}, fields(["image_list", 0], ["fans_count"])),
    (10, "featured", {"daren_list": [USER]},
     [([], "object"), (["daren_list"], "array"), (["daren_list", 0], "object")]
     + fields(["daren_list", 0], ["uid", "uname", "avatar", "img", "foolows_count", "fans_count", "favs_count",
                                  "photos_count"])),
    (27, "search", {"user_list": [USER]}, [(["user_list"], "array")]),
    (14, "follows", {"page": PAGE, "follows_list": [dict(USER, share={"photos": COUNTS})]},
     [(["follows_list"], "array"), (["follows_list", 0, "share", "photos"], "object")]
     + fields(["follows_list", 0], ["uid", "user_name", "avatar", "img"])
     + fields(["follows_list", 0, "share", "photos"], COUNTS)),
    (15, "fans", {"fnas_list": [USER]}, [(["fnas_list"], "array")]),
    (11, "comments", {"is_follow": "1", "comment_list": [COMMENT]},
     [([], "object"), (["is_follow"], "text"), (["comment_list"], "array"), (["comment_list", 0], "object")]
     + fields(["comment_list", 0], COMMENT)),
    (28, "details", DETAILS, [([], "object")] + fields([], DETAILS)),
    (23, "stats", {"info_num": COUNTS}, [([], "object"), (["info_num"], "object")] + fields(["info_num"], COUNTS)),
    (21, "tags", {"tag_list": [{"name": "sky"}]}, [(["tag_list"], "array")] + fields(["tag_list", 0], ["name"])),
    (22, "categories", [{"cate_id": "1", "cate_code": "gal"}],
     [([], "array"), ([0], "object")] + fields([0], ["cate_id", "cate_code"])),
    ("login", "login", {"status": 0, "data": LOGIN_DATA},
     [([], "object"), (["status"], "status"), (["data"], "object")] + fields(["data"], LOGIN_DATA)),
]


def replaced(document, path, value):
    """A copy of document with the value at path (empty: the root) replaced."""
    if not path:
        return value
    copy = json.loads(json.dumps(document))
    target = copy
    for step in path[:-1]:
        target = target[step]
    target[path[-1]] = value
    return copy


def wrong_type_documents():
    for kind, layout, document, paths in LAYOUTS:
        for path, expected in paths:
            field = str(path[-1]) if path else "root"
            if expected == "object" and path and isinstance(path[-1], int):
                field = "element"
            for name, value in WRONG[expected].items():
                text = json.dumps(replaced(document, path, value), separators=(",", ":"))
                yield kind, "bad-%s-%s-%s" % (layout, field, name), text


# ---- hostile documents ------------------------------------------------------------------

def nested(opening, closing, depth, core="1"):
    return opening * depth + core + closing * depth


def hostile_documents():
    deep_arrays = nested("[", "]", 5000)
    deep_objects = nested('{"a":', "}", 5000)
    for kind in (0, 22, 28, 11, "login"):
        yield kind, "bad-deep-arrays", deep_arrays
        yield kind, "bad-deep-objects", deep_objects
    yield 0, "bad-deep-in-list", '{"image_list":[' + nested('{"url":[', "]}", 3000) + "]}"
    yield 0, "bad-deep-unclosed", "[" * 20000
    yield "login", "bad-deep-data", '{"status":0,"data":' + nested('[{"a":', "}]", 3000) + "}"
    yield 26, "hostile-deep-but-allowed", '{"page":{"total":1},"x":' + nested("[", "]", 200) + "}"

    # Past any signed 16-bit length, and no longer: the longest seed sets how
    # long the fuzzer's inputs may grow, and so how fast it runs.
    long_text = "\\u56fe" + "x" * 33000
    yield 0, "hostile-long-string", '{"image_list":[{"url":"http://127.0.0.1/p/p1.jpg","content":"%s"}]}' % long_text
    yield 0, "hostile-long-address", '{"image_list":[{"url":"http://127.0.0.1/p/%s.jpg"}]}' % ("y" * 33000)
    yield 10, "hostile-long-key", '{"daren_list":[{"%s":"1"}]}' % ("k" * 33000)

    yield 0, "hostile-nul-escaped", '{"image_list":[{"url":"http://a/p\\u0000.jpg","content":"a\\u0000b"}]}'
    yield 28, "hostile-nul-after", '{"content":"a\\u0000b","uid\\u0000":"1"}\x00{"x":1}'
    yield 11, "hostile-nul-raw", '{"comment_list":[{"content":"a\x00b","uname":"\x00"}]}'

    surrogates = ["\\ud83d", "\\ude00", "\\ud83d\\ude00", "\\ude00\\ud83d", "\\ud83d\\u0041", "\\ud83dx",
                  "\\udbff\\udfff", "\\u0000", "\\uFFFF", "\\u12"]
    for i, text in enumerate(surrogates):
        yield 28, "hostile-surrogate-%d" % i, '{"content":"%s","user_name":"a%s"}' % (text, text)
    yield 22, "hostile-surrogate-key", '[{"cate_id\\ud83d":"1","cate_code":"\\ud83d\\ude00"}]'

    refused = ("int-over", "int-under", "uint64-over", "digits", "double-over", "double-under")
    for name, number in [("int-max", "2147483647"), ("int-min", "-2147483648"), ("int-over", "2147483648"),
                         ("int-under", "-2147483649"), ("uint64-over", "18446744073709551616"),
                         ("digits", "1" * 400), ("double-over", "1e999"), ("double-under", "-1e999"),
                         ("denormal", "4.9e-325"), ("negative-zero", "-0"), ("fraction", "0.99999999999999999999")]:
        label = "bad" if name in refused else "hostile"
        yield 16, "%s-page-total-%s" % (label, name), '{"page":{"total":%s,"page_count":1},"image_list":[]}' % number
        yield "login", "%s-status-%s" % (label, name), '{"status":%s,"data":{}}' % number
    yield 21, "bad-number-as-tag", '{"tag_list":[{"name":1e999}]}'
    yield 10, "hostile-flag-numbers", '{"daren_list":[{"is_foolow":1e999},{"is_foolow":-0},{"is_foolow":1e-999}]}'

    yield 0, "hostile-duplicate-keys", ('{"image_list":[],"image_list":[{"url":"http://a/1.jpg",'
                                        '"url":"http://a/2.jpg","content":"a","content":"b"}],"page":{},"page":null}')
    yield 22, "hostile-duplicate-ids", '[{"cate_id":"1","cate_code":"a"},{"cate_id":"1","cate_code":"b"}]'
    yield "login", "hostile-duplicate-status", '{"status":1,"status":0,"data":{"uid":"1","uid":"2"}}'

    bom = "\ufeff"
    yield 21, "hostile-bom", bom + '{"tag_list":[{"name":"sky"}]}'
    yield "login", "hostile-bom", bom + '{"status":0,"data":{"uid":"1"}}'
    yield 28, "hostile-bom-inside", '{"content":"' + bom + '",' + bom + '"uid":"1"}'

    for i, raw in enumerate([b"\xe5\x9b", b"\xf0\x9f\x98", b"\x80", b"\xc0\xaf", b"\xff\xfe", b"\xed\xa0\x80"]):
        yield 11, "hostile-utf8-%d" % i, b'{"comment_list":[{"content":"' + raw + b'","uname":"a' + raw + b'"}]}'
        yield 28, "hostile-utf8-end-%d" % i, b'{"content":"abc' + raw
    yield 0, "hostile-comments", '/* x */{"image_list"://\n[/**/]} /* unclosed'


def write(folder, kind, name, body):
    prefix = kind if isinstance(kind, str) else "%02d" % kind
    if isinstance(body, str):
        body = body.encode("utf-8")
    with open(os.path.join(folder, "%s-%s" % (prefix, name)), "wb") as f:
        f.write(bytes([KINDS.index(kind)]) + body)


def main(argv):
    offline = "--offline" in argv
    args = [a for a in argv[1:] if a != "--offline"]
    base = args[0] if args else "http://127.0.0.1:8710/"
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for kind, name, path in [] if offline else ANSWERS:
        request = urllib.request.Request(base + path, data=b"", method="POST")
        with urllib.request.urlopen(request, timeout=20) as answer:
            write(folder, kind, name, answer.read())
    for kind, name, text in EDGES:
        write(folder, kind, name, text)
    for kind, name, body in list(wrong_type_documents()) + list(hostile_documents()):
        write(folder, kind, name, body)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
