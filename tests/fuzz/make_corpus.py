#!/usr/bin/env python3
"""Writes the seed corpus of the answer-parser fuzz target from a running
local service: one file per answer, its first byte selecting the feed kind
(the index into the target's kind table), then the answer as sent.

    python3 tests/fuzz/make_corpus.py http://127.0.0.1:8710/
"""

import os
import sys
import urllib.request

KINDS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29]
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


def write(folder, kind, name, body):
    path = os.path.join(folder, "%02d-%s" % (kind, name))
    with open(path, "wb") as f:
        f.write(bytes([KINDS.index(kind)]) + body)


def main(argv):
    base = argv[1] if len(argv) > 1 else "http://127.0.0.1:8710/"
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for kind, name, path in ANSWERS:
        request = urllib.request.Request(base + path, data=b"", method="POST")
        with urllib.request.urlopen(request, timeout=20) as answer:
            write(folder, kind, name, answer.read())
    for kind, name, text in EDGES:
        write(folder, kind, name, text.encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
