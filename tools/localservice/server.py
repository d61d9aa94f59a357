#!/usr/bin/env python3
"""Local stand-in for the picture-sharing service, for development, demos
and tests. Plain HTTP on loopback, Python standard library only.

    python3 server.py [--port 8710] [--data DIR] [--make-data]
                      [--fault MODE] [--latency-ms N] [--delay-ms N]

See README.md beside this file for the endpoints, the sample accounts, the
control paths and the fault modes.
"""

import argparse
import gzip
import http.server
import json
import os
import re
import select
import signal
import socket
import struct
import sys
import tempfile
import threading
import time
import traceback
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import answers  # noqa: E402
import control  # noqa: E402
import makedata  # noqa: E402
import pages  # noqa: E402
from state import ServiceState  # noqa: E402

DEFAULT_PORT = 8710
MAX_BODY = 16 * 1024 * 1024
SEND_BLOCK = 64 * 1024
HUGE_ANSWER_BYTES = 17 * 1024 * 1024  # above the client's answer cap
BOMB_SIDE = 20000  # a frame of 20000 x 20000 pixels: 1.6 GB decoded
MANY_FIRST_ID = 900001  # share ids of the stretched picture lists
CONTROL_PREFIX = "/__control/"
STATIC_ROOTS = ("/pictures/", "/avatars/")
# "/redirect?to=ADDRESS" answers 302 to ADDRESS, whatever its scheme.
REDIRECT_PATH = "/redirect"
UNSAFE_TARGET_BYTES = re.compile(rb"[\x00-\x20\x7f-\xff]")
FORWARDED_FOR = re.compile(r"for=\"?(_[A-Za-z0-9._-]+)")
HOST_PATTERN = re.compile(r"^[A-Za-z0-9.\-]+(:[0-9]{1,5})?$|^\[[0-9A-Fa-f:.]+\](:[0-9]{1,5})?$")

HTML_ERROR_PAGE = (
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"\"http://www.w3.org/TR/html4/strict.dtd\">\r\n"
    "<HTML><HEAD><TITLE>Bad Request</TITLE>\r\n"
    "<META HTTP-EQUIV=\"Content-Type\" Content=\"text/html; charset=us-ascii\"></HEAD>\r\n"
    "<BODY><h2>Bad Request - Invalid Hostname</h2>\r\n"
    "<hr><p>HTTP Error 400. The request hostname is invalid.</p>\r\n"
    "<h1>Bad Request (Invalid Hostname)</h1>\r\n"
    "</BODY></HTML>\r\n").encode("ascii")

CONTENT_TYPES = {".jpg": "image/jpeg", ".jpeg": "image/jpeg", ".png": "image/png",
                 ".gif": "image/gif"}


def to_json(value):
    return json.dumps(value, ensure_ascii=True, separators=(",", ":")).encode("ascii")


def split_params(text, unquote):
    """Pairs of a query or form text, split the way the real service splits
    them: at every "&", then at the first "=". Later duplicates win in the
    dict, as they do for the service's scripts."""
    pairs = []
    for part in text.split("&"):
        if not part:
            continue
        key, _, value = part.partition("=")
        pairs.append([unquote(key), unquote(value)])
    return pairs, {k: v for k, v in pairs}


def api_unquote(text):
    # The client sends user text as raw UTF-8 without escaping; curl users
    # may escape. A "+" stays a plus either way.
    return urllib.parse.unquote(text, errors="replace")


def browser_unquote(text):
    return urllib.parse.unquote_plus(text, errors="replace")


def mistype(value):
    """The wrong-types fault: digit strings become numbers, numbers strings."""
    if isinstance(value, dict):
        return {k: mistype(v) for k, v in value.items()}
    if isinstance(value, list):
        return [mistype(v) for v in value]
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, str) and value.isascii() and value.isdigit():
        return int(value)
    return value


class Answer:
    """One response: status, content type and either bytes or a file."""

    def __init__(self, status=200, content_type="application/json", body=b"", path=None,
                 kind="json", value=None, location=None):
        self.status = status
        self.content_type = content_type
        self.body = body
        self.path = path
        self.kind = kind
        self.value = value  # the JSON value before encoding, for the type faults
        self.location = location  # the Location header of a redirect
        self.encoding = None  # Content-Encoding, when the body is compressed

    @classmethod
    def json(cls, value, status=200):
        return cls(status, "application/json; charset=utf-8", to_json(value), value=value)

    @classmethod
    def html(cls, text, status=200, kind="pages"):
        return cls(status, "text/html; charset=utf-8", text.encode("utf-8"), kind=kind)

    @classmethod
    def not_found(cls, kind="json"):
        return cls(404, "text/html; charset=utf-8",
                   b"<html><head><title>404 Not Found</title></head>"
                   b"<body><h1>404 Not Found</h1></body></html>\n", kind=kind)

    @classmethod
    def redirect(cls, target):
        """A 302 to any address at all, with a plain-text body as some web
        frameworks send, so a client that keeps the body is caught too."""
        target = target.replace("\r", "").replace("\n", "")
        return cls(302, "text/plain; charset=utf-8", ("Found. Redirecting to %s\n" % target).encode("utf-8"),
                   kind="pictures", location=target)

    def size(self):
        return os.path.getsize(self.path) if self.path else len(self.body)

    def gzipped(self):
        """The same answer compressed, as a web server does for a client
        that accepts gzip."""
        self.body = gzip.compress(self.body, mtime=0)
        self.encoding = "gzip"
        return self


def accepts_gzip(headers):
    codings = [part.split(";")[0].strip().lower() for part in headers.get("Accept-Encoding", "").split(",")]
    return "gzip" in codings


def answer_bytes(answer):
    if answer.path is None:
        return answer.body
    with open(answer.path, "rb") as f:
        return f.read()


def padded(answer, size):
    """The answer cut or padded with spaces to exactly `size` bytes: JSON stays
    valid and a JPEG ignores what follows its end marker."""
    body = answer_bytes(answer)[:size]
    body += b" " * (size - len(body))
    return Answer(answer.status, answer.content_type, body, kind=answer.kind)


def jpeg_frame_offset(data):
    """Offset of the height field of a JPEG's frame header, or None."""
    i = 2
    while i + 9 < len(data) and data[i] == 0xFF:
        marker = data[i + 1]
        length = int.from_bytes(data[i + 2:i + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return i + 5
        i += 2 + length
    return None


def spoil_picture(answer, mode, settings):
    """truncjpeg: the first `fraction` of the file, announced at that length,
    so the transfer is complete and only the picture is cut. bomb: the file
    with its frame header claiming BOMB_SIDE pixels square."""
    if answer.status != 200 or not answer.content_type.startswith("image/jpeg"):
        return answer
    data = answer_bytes(answer)
    if mode == "truncjpeg":
        data = data[:max(2, int(len(data) * settings["fraction"]))]
    else:
        at = jpeg_frame_offset(data)
        if at is None:
            return answer
        side = BOMB_SIDE.to_bytes(2, "big")
        data = data[:at] + side + side + data[at + 4:]
    return Answer(200, answer.content_type, data, kind=answer.kind)


# What a careless service lets through in its users' text, by position in a
# list: nothing, far too much, control characters, bytes that are not UTF-8
# (the marker is swapped for them once the answer is encoded) and blanks.
INVALID_UTF8_MARK = "@@not-utf-8@@"
INVALID_UTF8_BYTES = b"\xff\xfe\xc3(\xe6\x9c"
HOSTILE_TEXTS = (
    "",
    "\u957f" * 5000,
    "\u7b2c\u4e00\u884c\r\n\u7b2c\u4e8c\u884c\t\x07\u54cd\u94c3\x1b[31m\u7ea2\x7f\u0085",
    INVALID_UTF8_MARK + "\u574f",
    " \t ",
)
HOSTILE_KEYS = ("content", "uname", "user_name")


def hostile_text(value):
    """Every list entry's text and author replaced by the hostile text of its
    position; the encoded answer."""
    def spoil(item, i):
        if not isinstance(item, dict):
            return item
        return {k: HOSTILE_TEXTS[i % len(HOSTILE_TEXTS)] if k in HOSTILE_KEYS else v for k, v in item.items()}
    if isinstance(value, dict):
        value = {k: [spoil(e, i) for i, e in enumerate(v)] if isinstance(v, list) else v
                 for k, v in value.items()}
    return to_json(value).replace(INVALID_UTF8_MARK.encode("ascii"), INVALID_UTF8_BYTES)


def many_pictures(value, count):
    """A picture list stretched to `count` pictures, each with a share id of
    its own, pointing at the pictures the list already holds."""
    if not isinstance(value, dict) or not value.get("image_list"):
        return value
    source = value["image_list"]
    items = []
    for i in range(count):
        item = dict(source[i % len(source)])
        item["share_id"] = str(MANY_FIRST_ID + i)
        items.append(item)
    stretched = dict(value, image_list=items)
    if isinstance(value.get("page"), dict):
        stretched["page"] = {"total": count, "page_count": 1, "page": 1}
    return stretched


class QuarnServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, address, data_dir, faults):
        super().__init__(address, Handler)
        self.data_dir = data_dir
        self.faults = faults
        self.state = ServiceState()
        self.log = control.RequestLog()
        self.uploads = pages.UploadStore(tempfile.mkdtemp(prefix="quarn-uploads-"))
        self.stopping = threading.Event()
        self.started = time.time()
        # Kept-alive connections: how many carried a service request, which
        # are sending the end of an answer, and which wait idle for their
        # next request (those can be dropped).
        self.connection_lock = threading.Condition()
        self.connections_served = 0
        self.clients_seen = set()
        # Service requests being answered now, and the most at once.
        self.answering = 0
        self.most_at_once = 0
        self.finishing_connections = set()
        self.idle_connections = set()

    def reset(self):
        self.state.reset()
        self.log.clear()
        self.uploads.clear()
        self.faults.restore()
        self.drop_idle_connections()
        with self.connection_lock:
            self.connections_served = 0
            self.clients_seen.clear()
            self.most_at_once = self.answering

    def note_busy(self, handler):
        """A request arrived: the connection is no longer idle, so dropping
        idle connections cannot cut its answer (a fault change's own among them)."""
        with self.connection_lock:
            self.idle_connections.discard(handler.connection)

    def note_serving(self, handler):
        with self.connection_lock:
            self.idle_connections.discard(handler.connection)
            # Behind the TLS front the client's connection is named by the
            # front's per-connection token; its own connections are pooled.
            client = handler.front_client()
            if client is None:
                if handler.counted:
                    return
                handler.counted = True
            elif client in self.clients_seen:
                return
            else:
                if len(self.clients_seen) > 100000:
                    self.clients_seen.clear()
                self.clients_seen.add(client)
            self.connections_served += 1

    def note_answering(self, change):
        with self.connection_lock:
            self.answering += change
            self.most_at_once = max(self.most_at_once, self.answering)

    def note_finishing(self, handler):
        with self.connection_lock:
            self.finishing_connections.add(handler.connection)

    def note_idle(self, handler):
        with self.connection_lock:
            self.finishing_connections.discard(handler.connection)
            self.idle_connections.add(handler.connection)
            self.connection_lock.notify_all()

    def note_gone(self, handler):
        with self.connection_lock:
            self.finishing_connections.discard(handler.connection)
            self.idle_connections.discard(handler.connection)
            self.connection_lock.notify_all()

    def drop_idle_connections(self):
        """Closes every kept-alive connection waiting for a request, as a
        server ending idle connections does; returns how many. An answer
        that its client has read may still be ending here: it is waited for."""
        with self.connection_lock:
            self.connection_lock.wait_for(lambda: not self.finishing_connections, timeout=2.0)
            idle = list(self.idle_connections)
            self.idle_connections.clear()
        for sock in idle:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        return len(idle)

    def stop(self):
        self.stopping.set()
        threading.Thread(target=self.shutdown, daemon=True).start()

    def server_close(self):
        super().server_close()
        self.uploads.clear()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuarnLocal/1.0"
    timeout = 30  # for reading a request, the first or the next on a kept-alive connection
    # Answers that end by closing the connection (cut, unannounced length,
    # reset, held) cannot leave it open for another request.
    CLOSING_MODES = ("down", "silent", "short", "nolength", "huge")

    def setup(self):
        super().setup()
        self.counted = False
        # Headers and body leave in separate writes; on a kept connection
        # Nagle would hold the body for the client's delayed acknowledgement.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def finish(self):
        try:
            super().finish()
        finally:
            self.server.note_gone(self)

    # ---- request parsing ----------------------------------------------------

    def parse_request(self):
        # The client puts user text into the query as raw UTF-8 without
        # escaping, spaces included. The base parser would split such a line
        # at spaces and at bytes that are blanks in Latin-1 (0x85, 0xA0), so
        # it gets an escaped copy; the raw target is kept for the handlers.
        line = self.raw_requestline.rstrip(b"\r\n")
        self.original_request_line = line.decode("utf-8", "backslashreplace")
        words = line.split(b" ")
        self.raw_target = None
        if len(words) >= 3 and words[-1].startswith(b"HTTP/"):
            self.raw_target = b" ".join(words[1:-1])
            escaped = UNSAFE_TARGET_BYTES.sub(lambda m: b"%%%02X" % m.group()[0], self.raw_target)
            self.raw_requestline = b" ".join([words[0], escaped, words[-1]]) + b"\r\n"
        return super().parse_request()

    def do_GET(self):
        self.serve()

    do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = do_GET

    def log_message(self, fmt, *args):
        if getattr(self.server, "verbose", False):
            super().log_message(fmt, *args)

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            chunks, total = [], 0
            while True:
                size_line = self.rfile.readline(1024)
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    self.rfile.readline(1024)
                    break
                total += size
                if total > MAX_BODY:
                    return None
                chunks.append(self.rfile.read(size))
                self.rfile.readline(1024)
            return b"".join(chunks)
        length = int(self.headers.get("Content-Length") or 0)
        if length > MAX_BODY:
            return None
        return self.rfile.read(length) if length > 0 else b""

    def front_client(self):
        """The TLS front's token for the client connection, or None."""
        match = FORWARDED_FOR.search(self.headers.get("Forwarded", ""))
        return match.group(1) if match else None

    def base_url(self):
        host = self.headers.get("Host", "")
        if not HOST_PATTERN.match(host):
            addr, port = self.server.server_address[:2]
            host = "%s:%d" % (addr, port)
        # Behind the TLS front, addresses in answers lead back through it.
        scheme = "https" if self.headers.get("X-Forwarded-Proto", "") == "https" else "http"
        return scheme + "://" + host

    # ---- the request ----------------------------------------------------------

    def serve(self):
        self.server.note_busy(self)
        # The base parser decided from the request's own Connection header.
        client_closes = self.close_connection
        self.close_connection = True
        raw = self.raw_target if self.raw_target is not None else self.path.encode("latin-1")
        target = raw.decode("utf-8", "backslashreplace")
        raw_path, _, query = target.partition("?")
        path = urllib.parse.unquote(raw_path)
        try:
            body = self.read_body()
        except (ValueError, OSError):
            body = None
        if body is None:
            self.send_plain(413, "request body too large or malformed\n")
            return
        if path.startswith(CONTROL_PREFIX):
            try:
                answer = self.control(path[len(CONTROL_PREFIX):], query, body)
            except ValueError as e:
                answer = Answer.json({"ok": False, "error": str(e)}, 400)
            self.send_answer(answer, "normal", control.FaultSettings.DEFAULTS)
            return
        self.server.note_serving(self)
        self.server.note_answering(1)
        try:
            self.answer_request(target, path, query, body, client_closes)
        finally:
            self.server.note_answering(-1)

    def answer_request(self, target, path, query, body, client_closes):
        body_text = body[:control.BODY_LOG_LIMIT].decode("utf-8", "backslashreplace")
        pairs, params = split_params(query, api_unquote)
        entry = self.server.log.add({
            "time": time.time(), "method": self.command, "path": path, "query": query,
            "target": target, "request_line": self.original_request_line,
            "params": pairs, "body": body_text, "body_size": len(body),
            "headers": {k: v for k, v in self.headers.items()},
            "client": self.client_address[0], "status": None, "fault": None,
        })
        kind = self.answer_kind(path, params)
        mode, settings = self.server.faults.for_request(target, kind)
        if mode != "normal":
            self.server.log.update(entry, fault=mode)
        if mode == "down":
            self.reset_connection()
            self.server.log.update(entry, status="reset")
            return
        if mode == "silent":
            self.hold_silently(settings["hold_s"])
            self.server.log.update(entry, status="silent")
            return
        self.wait(settings["latency_ms"])
        if mode == "slow":
            self.wait(settings["delay_ms"])
        try:
            answer = self.dispatch(path, query, params, body)
        except Exception:  # a fault of this service must not look like a network fault
            traceback.print_exc()
            answer = Answer.json({"status": -1, "msg": "internal error"}, 500)
        answer = self.spoil(answer, mode, settings)
        # Only whole JSON answers: the faults cut and pad the plain text.
        if mode == "normal" and answer.path is None and answer.content_type.startswith("application/json") \
                and accepts_gzip(self.headers):
            answer = answer.gzipped()
        self.server.log.update(entry, status=answer.status)
        keep = not client_closes and mode not in self.CLOSING_MODES and settings["length"]
        self.send_answer(answer, mode, settings, keep)

    @staticmethod
    def answer_kind(path, params):
        if path.startswith(STATIC_ROOTS) or path == REDIRECT_PATH:
            return "pictures"
        if pages.find(path, params):
            return "pages"
        return "json"

    def dispatch(self, path, query, params, body):
        base = self.base_url()
        if path == REDIRECT_PATH:
            return Answer.redirect(params.get("to", ""))
        if path.startswith(STATIC_ROOTS):
            return self.static_file(path)
        page_handler = pages.find(path, params)
        if page_handler:
            _pairs, form = split_params(body.decode("utf-8", "replace"), browser_unquote)
            request = pages.PageRequest(params, form, body, self.headers.get("Content-Type", ""),
                                        base, self.server.uploads)
            return Answer.html(page_handler(self.server.state, request))
        builder, takes_form = answers.find(path, params)
        if builder is None:
            if path == "/":
                return Answer.html(index_page(), kind="pages")
            return Answer.not_found()
        st = self.server.state
        with st.lock:
            if takes_form:
                _pairs, form = split_params(body.decode("utf-8", "backslashreplace"), api_unquote)
                value = builder(st, params, form, base)
            else:
                value = builder(st, params, base)
        return Answer.json(value)

    def static_file(self, path):
        parts = [p for p in path.split("/") if p]
        if any(p in (".", "..") or "\\" in p for p in parts):
            return Answer.not_found("pictures")
        if parts[:2] == ["pictures", "up"] and len(parts) == 3:
            file_path = self.server.uploads.path_for(parts[2])
        else:
            file_path = os.path.join(self.server.data_dir, *parts)
        if not os.path.isfile(file_path):
            return Answer.not_found("pictures")
        ext = os.path.splitext(file_path)[1].lower()
        return Answer(200, CONTENT_TYPES.get(ext, "application/octet-stream"),
                      path=file_path, kind="pictures")

    def spoil(self, answer, mode, settings):
        """The answer as the current fault mode changes it."""
        if mode == "html":
            return Answer(settings["status"], "text/html", HTML_ERROR_PAGE, kind=answer.kind)
        if mode == "notfound":
            return Answer.not_found(answer.kind)
        if mode == "loop":
            # Back to the very same address, for ever.
            return Answer.redirect(self.base_url() + self.path_and_query())
        if mode == "oversize":
            return padded(answer, settings["bytes"])
        if mode in ("truncjpeg", "bomb"):
            return spoil_picture(answer, mode, settings)
        if answer.value is None:
            return answer
        if mode == "manyfeed":
            return Answer.json(many_pictures(answer.value, settings["items"]), answer.status)
        if mode == "badjson":
            text = answer.body
            cut = max(1, int(len(text) * 0.6))
            return Answer(answer.status, answer.content_type,
                          text[:cut] + b"\n<br />\n<b>Warning</b>: unexpected end", kind=answer.kind)
        if mode == "wrongtypes":
            return Answer.json(mistype(answer.value), answer.status)
        if mode == "hostiletext":
            return Answer(answer.status, answer.content_type, hostile_text(answer.value), kind=answer.kind)
        if mode == "huge":
            # Still valid JSON, only far too long for a client to hold.
            padding = b" " * max(0, HUGE_ANSWER_BYTES - len(answer.body))
            return Answer(answer.status, answer.content_type, answer.body + padding, kind=answer.kind)
        return answer

    def path_and_query(self):
        raw = self.raw_target if self.raw_target is not None else self.path.encode("latin-1")
        return raw.decode("utf-8", "backslashreplace")

    # ---- sending ----------------------------------------------------------------

    def send_plain(self, status, text):
        self.send_answer(Answer(status, "text/plain; charset=utf-8", text.encode("utf-8")),
                         "normal", control.FaultSettings.DEFAULTS)

    def send_answer(self, answer, mode, settings, keep_alive=False):
        size = answer.size()
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        if answer.location is not None:
            self.send_header("Location", answer.location)
        if answer.encoding is not None:
            self.send_header("Content-Encoding", answer.encoding)
        if mode not in ("nolength", "huge") and settings["length"]:
            self.send_header("Content-Length", str(size))
        self.send_header("Cache-Control", "no-cache")
        if keep_alive:
            self.server.note_finishing(self)
        else:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            self.keep_open(keep_alive)
            return
        count = size
        if mode == "short":
            count = int(size * settings["fraction"])
        rate = settings["rate_kbps"] if mode == "slow" else 0
        try:
            self.send_body(answer, count, rate)
        except OSError:
            self.server.note_gone(self)
            return  # the client went away
        self.keep_open(keep_alive)

    def keep_open(self, keep_alive):
        if keep_alive:
            self.close_connection = False
            self.server.note_idle(self)

    def send_body(self, answer, count, rate_kbps):
        if answer.path is None:
            self.send_paced(lambda off, n: answer.body[off:off + n], count, rate_kbps)
            return
        if count <= 0:
            return  # sendfile would read a count of 0 as "to the end"
        with open(answer.path, "rb") as f:
            if rate_kbps == 0:
                self.wfile.flush()
                self.connection.sendfile(f, 0, count)
                return
            self.send_paced(lambda off, n: f.read(n), count, rate_kbps)

    def send_paced(self, read, count, rate_kbps):
        block = SEND_BLOCK if rate_kbps == 0 else max(1024, min(SEND_BLOCK, rate_kbps * 1024 // 10))
        sent = 0
        started = time.monotonic()
        while sent < count:
            data = read(sent, min(block, count - sent))
            if not data:
                break
            self.wfile.write(data)
            sent += len(data)
            if rate_kbps:
                due = started + sent / (rate_kbps * 1024.0)
                self.wait((due - time.monotonic()) * 1000)

    def reset_connection(self):
        # Linger 0: closing sends a reset, so the client gets no answer at all.
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        except OSError:
            pass

    def hold_silently(self, hold_s):
        """Keeps the connection open without answering until the client hangs
        up, the server stops, or hold_s passes."""
        deadline = time.monotonic() + hold_s
        sock = self.connection
        while not self.server.stopping.is_set() and time.monotonic() < deadline:
            try:
                readable, _, _ = select.select([sock], [], [], 0.25)
                if readable and not sock.recv(65536):
                    return
            except OSError:
                return

    def wait(self, ms):
        if ms > 0:
            self.server.stopping.wait(ms / 1000.0)

    # ---- control paths ---------------------------------------------------------------

    def control(self, name, query, body):
        pairs, params = split_params(query, api_unquote)
        if body:
            _p, form = split_params(body.decode("utf-8", "replace"), browser_unquote)
            params = dict(form, **params)
        server = self.server
        if name == "log":
            since = int(params.get("since", "0") or 0)
            limit = int(params["limit"]) if params.get("limit") else None
            return Answer.json(server.log.snapshot(since, limit))
        if name == "reset":
            server.reset()
            return Answer.json({"ok": True})
        if name == "clearlog":
            server.log.clear()
            return Answer.json({"ok": True})
        if name == "fault":
            if not params:
                return Answer.json(server.faults.current())
            settings, error = server.faults.change(params)
            if error:
                return Answer.json({"ok": False, "error": error, "fault": settings}, 400)
            # A fault meets its request on a fresh connection, as when none was kept.
            server.drop_idle_connections()
            return Answer.json(dict(settings, ok=True))
        if name == "drop":
            return Answer.json({"ok": True, "dropped": server.drop_idle_connections()})
        if name == "status":
            return Answer.json(self.status())
        if name == "state":
            return self.state_dump(params)
        if name == "notice":
            return self.add_notices(params)
        if name == "shutdown":
            server.stop()
            return Answer.json({"ok": True})
        return Answer.json({"ok": False, "error": "unknown control path"}, 404)

    def status(self):
        server = self.server
        return {"ok": True, "pid": os.getpid(), "address": list(server.server_address[:2]),
                "data_dir": server.data_dir, "data_ready": makedata.is_complete(server.data_dir),
                "fault": server.faults.current(), "log_size": len(server.log),
                "connections": server.connections_served, "most_at_once": server.most_at_once,
                "uptime_s": round(time.time() - server.started, 3)}

    def state_dump(self, params):
        st = self.server.state
        base = self.base_url()
        with st.lock:
            if "share_id" in params:
                pic = st.picture(params["share_id"])
                if pic is None:
                    return Answer.json({"ok": False, "error": "no such picture"}, 404)
                likers = sorted(uid for (uid, share) in st.likes if share == pic["share_id"])
                return Answer.json({
                    "ok": True, "picture": dict(pic, url=base + pic["path"]), "likers": likers,
                    "comments": [dict(c) for c in st.comments_of(pic["share_id"])],
                    "relay_count": st.relay_count(pic["share_id"]),
                })
            uid = params.get("uid", "")
            user = st.user(uid)
            if user is None:
                return Answer.json({"ok": False, "error": "no such user"}, 404)
            return Answer.json({
                "ok": True, "user": {k: v for k, v in user.items() if k != "password_md5"},
                "follows": st.follows_of(uid), "fans": st.fans_of(uid),
                "likes": [p["share_id"] for p in st.liked_pictures(uid)],
                "pictures": [p["share_id"] for p in st.pictures_of(uid)],
                "unread": st.unread(uid), "counts": st.user_counts(uid),
            })

    def add_notices(self, params):
        st = self.server.state
        uid = params.get("uid", "")
        with st.lock:
            if st.user(uid) is None:
                return Answer.json({"ok": False, "error": "no such user"}, 404)
            for kind in ("comm", "reply", "atten"):
                count = int(params.get(kind, "0") or 0)
                if count > 0:
                    st.add_unread(uid, kind, min(count, 1000))
            return Answer.json({"ok": True, "unread": st.unread(uid)})


def index_page():
    links = [("注册", "user.php?action=c_register"), ("找回密码", "user.php?action=c_forgetpassword"),
             ("分类列表", "book.php?action=c_all_list"), ("首页图片", "book.php?action=c_all"),
             ("热门标签", "book.php?action=c_hot_tag"), ("意见反馈", "suggestion/"),
             ("服务状态", "__control/status")]
    items = "".join('<li><a href="%s">%s</a></li>' % (href, pages.esc(text)) for text, href in links)
    return pages.page("Quarn 本地服务", "<ul>%s</ul>" % items)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Local picture service for Quarn.")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT, help="0 picks a free port")
    parser.add_argument("--data", default=makedata.default_data_dir(), help="rendered pictures")
    parser.add_argument("--make-data", action="store_true", help="render missing data first")
    parser.add_argument("--fault", default="normal", choices=control.MODES, help="start in this mode")
    parser.add_argument("--latency-ms", type=int, default=0)
    parser.add_argument("--delay-ms", type=int, default=control.FaultSettings.DEFAULTS["delay_ms"])
    parser.add_argument("--fault-scope", default="all", choices=control.SCOPES)
    parser.add_argument("--verbose", action="store_true", help="print every request")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    if args.make_data:
        errors = makedata.make(args.data)
        for error in errors:
            print("error: " + error, file=sys.stderr)
        if errors:
            return 1
    if not makedata.is_complete(args.data):
        print("warning: no rendered pictures in %s (run make-data.sh); pictures will be 404"
              % args.data, file=sys.stderr)
    faults = control.FaultSettings(mode=args.fault, latency_ms=args.latency_ms,
                                   delay_ms=args.delay_ms, scope=args.fault_scope)
    try:
        server = QuarnServer(("127.0.0.1", args.port), args.data, faults)
    except OSError as e:
        print("error: cannot listen on 127.0.0.1:%d: %s" % (args.port, e), file=sys.stderr)
        return 1
    server.verbose = args.verbose
    signal.signal(signal.SIGTERM, lambda *_: server.stop())
    signal.signal(signal.SIGINT, lambda *_: server.stop())
    host, port = server.server_address[:2]
    print("quarn local service listening on http://%s:%d/ (data %s, mode %s)"
          % (host, port, args.data, args.fault), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
