"""Test support of the local picture service: the bounded request log and
the fault settings that tests switch at run time."""

import collections
import threading

LOG_CAPACITY = 10000
BODY_LOG_LIMIT = 8 * 1024  # keeps the full log below about 100 MB

MODES = ("normal", "down", "silent", "slow", "html", "badjson", "wrongtypes", "short", "nolength", "huge",
         "manyfeed", "truncjpeg", "bomb", "notfound", "loop", "oversize", "hostiletext")
SCOPES = ("all", "json", "pictures", "pages")
MAX_ITEMS = 100000
MAX_BYTES = 64 * 1024 * 1024


class RequestLog:
    """The last LOG_CAPACITY requests, oldest first, each numbered from 1."""

    def __init__(self, capacity=LOG_CAPACITY):
        self.lock = threading.Lock()
        self.entries = collections.deque(maxlen=capacity)
        self.next_seq = 1
        self.dropped = 0

    def add(self, entry):
        with self.lock:
            entry["seq"] = self.next_seq
            self.next_seq += 1
            if len(self.entries) == self.entries.maxlen:
                self.dropped += 1
            self.entries.append(entry)
            return entry

    def update(self, entry, **fields):
        with self.lock:
            entry.update(fields)

    def snapshot(self, since=0, limit=None):
        with self.lock:
            items = [dict(e) for e in self.entries if e["seq"] > since]
            if limit is not None and limit >= 0:
                items = items[-limit:] if limit else []
            return {"count": len(items), "dropped": self.dropped,
                    "next_seq": self.next_seq, "entries": items}

    def clear(self):
        with self.lock:
            self.entries.clear()
            self.dropped = 0

    def __len__(self):
        with self.lock:
            return len(self.entries)


class FaultSettings:
    """What the service does wrong, and to which requests.

    mode      one of MODES
    delay_ms  extra wait before each answer in mode "slow"
    latency_ms  wait before every answer in any mode (benchmarks)
    rate_kbps   in mode "slow", also send bodies at about this many KiB/s
    status    HTTP status of the pages sent in mode "html"
    scope     which answers the mode touches: all, json, pictures or pages
    match     only requests whose path and query contain this text
    count     only this many more matching requests, then back to normal
    hold_s    how long mode "silent" holds a connection at most
    fraction  share of the body sent in mode "short"
    length    0: no Content-Length in any mode (the body ends when the
              connection closes), so "short" cuts a transfer unnoticed
    items     how many pictures a picture list holds in mode "manyfeed"
    bytes     exact body size in mode "oversize"
    """

    DEFAULTS = {"mode": "normal", "delay_ms": 2000, "latency_ms": 0, "rate_kbps": 0,
                "status": 200, "scope": "all", "match": "", "count": -1, "hold_s": 300,
                "fraction": 0.5, "length": 1, "items": 10000,
                "bytes": 16 * 1024 * 1024 + 1}

    def __init__(self, **start):
        self.lock = threading.Lock()
        self.start = dict(self.DEFAULTS)
        error = self._apply(self.start, start)
        if error:
            raise ValueError(error)
        self.values = dict(self.start)

    @classmethod
    def _apply(cls, target, changes):
        """Validates and copies changes (texts or values) into target; returns
        an error text or None."""
        staged = dict(target)
        for key, raw in changes.items():
            if key not in cls.DEFAULTS:
                return "unknown setting %r" % key
            kind = type(cls.DEFAULTS[key])
            try:
                value = kind(raw)
            except (TypeError, ValueError):
                return "bad value for %s: %r" % (key, raw)
            staged[key] = value
        if staged["mode"] not in MODES:
            return "unknown mode %r (one of %s)" % (staged["mode"], ", ".join(MODES))
        if staged["scope"] not in SCOPES:
            return "unknown scope %r (one of %s)" % (staged["scope"], ", ".join(SCOPES))
        for key in ("delay_ms", "latency_ms", "rate_kbps", "hold_s"):
            if staged[key] < 0:
                return "%s must not be negative" % key
        if not 0 <= staged["items"] <= MAX_ITEMS:
            return "items must be between 0 and %d" % MAX_ITEMS
        if not 0 <= staged["bytes"] <= MAX_BYTES:
            return "bytes must be between 0 and %d" % MAX_BYTES
        if not 0.0 <= staged["fraction"] < 1.0:
            return "fraction must be at least 0 and below 1"
        target.update(staged)
        return None

    def change(self, changes):
        """Applies changes; a new mode without its own options starts from
        the defaults of those options. Returns (settings, error)."""
        with self.lock:
            base = dict(self.values)
            if "mode" in changes:
                keep = {"latency_ms": base["latency_ms"]}
                base = dict(self.DEFAULTS)
                base.update(keep)
            error = self._apply(base, changes)
            if error is None:
                self.values = base
            return dict(self.values), error

    def restore(self):
        with self.lock:
            self.values = dict(self.start)

    def current(self):
        with self.lock:
            return dict(self.values)

    def for_request(self, target, kind):
        """The mode that applies to one request (path and query text) whose
        answer is of the given kind, counting it when it is limited."""
        with self.lock:
            v = self.values
            mode = v["mode"]
            if mode == "normal":
                return "normal", dict(v)
            if v["scope"] != "all" and v["scope"] != kind:
                return "normal", dict(v)
            if v["match"] and v["match"] not in target:
                return "normal", dict(v)
            settings = dict(v)
            if v["count"] > 0:
                v["count"] -= 1
                if v["count"] == 0:
                    self.values = dict(self.DEFAULTS, latency_ms=v["latency_ms"])
            elif v["count"] == 0:
                return "normal", settings
            return mode, settings
