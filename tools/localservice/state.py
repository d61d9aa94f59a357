"""In-memory state of the local picture service: users, pictures, follows,
likes, comments, forwards and notices. Built from the sample data and
changed by the client's actions; one lock guards all of it."""

import collections
import threading
import time

import sampledata as sd

NOTICE_KINDS = ("comm", "reply", "atten")


def now():
    return int(time.time())


class ServiceState:
    def __init__(self):
        self.lock = threading.RLock()
        self.reset()

    def _changed(self):
        self._index = None

    def _derived(self):
        """Counts and orderings, rebuilt after a change (callers hold the lock)."""
        if self._index is not None:
            return self._index
        newest = sorted(self.pictures.values(), key=lambda p: (-p["time"], p["share_id"]))
        by_owner = collections.defaultdict(list)
        for p in newest:
            by_owner[p["owner"]].append(p)
        follows = collections.defaultdict(list)
        fans = collections.defaultdict(list)
        for (a, b), t in sorted(self.follow.items(), key=lambda x: (-x[1], x[0])):
            follows[a].append(b)
            fans[b].append(a)
        self._index = {
            "newest": newest, "by_owner": by_owner, "follows": follows, "fans": fans,
            "like_counts": collections.Counter(share for (_, share) in self.likes),
            "likes_given": collections.Counter(uid for (uid, _) in self.likes),
            "relays": collections.Counter(share for (_, share, _) in self.forwards),
        }
        return self._index

    # ---- building -------------------------------------------------------

    def reset(self):
        with self.lock:
            self._index = None
            self.users = {}
            for u in sd.users():
                self.users[u["uid"]] = {
                    "uid": u["uid"], "email": u["email"], "name": u["name"],
                    "password_md5": sd.md5_hex(u["password"]), "city": u["city"],
                    "avatar": "/avatars/" + u["avatar"], "token": sd.token_for(u["uid"]),
                    "time": u["time"],
                }
            self.pictures = {}
            for p in sd.pictures():
                self.pictures[p["share_id"]] = dict(p)
            self.follow = {(a, b): t for a, b, t in sd.follows()}
            self.likes = {(uid, share): t for uid, share, t in sd.likes(self.pictures.values())}
            self.comments = {}
            self.comments_by_share = {}
            for c in sd.comments(sorted(self.pictures.values(), key=lambda p: p["time"]),
                                 sd.users()):
                self._store_comment(dict(c))
            self.forwards = [(uid, share, t) for uid, share, t in sd.forwards(self.pictures.values())]
            self.notices = []
            self._sample_notices()
            self.feedback = []
            self.registrations = []
            self.next_uid = sd.FIRST_UID + len(self.users)
            self.next_share = int(sd.BIG_SHARE_ID) + 1
            self.next_comment = sd.FIRST_COMMENT_ID + len(self.comments)
            self.logins = 0

    def _store_comment(self, c):
        self.comments[c["id"]] = c
        self.comments_by_share.setdefault(c["share_id"], []).append(c["id"])

    def _sample_notices(self):
        events = []
        for c in self.comments.values():
            owner = self.pictures[c["share_id"]]["owner"]
            if c["uid"] != owner:
                events.append(self._event(owner, "comm", c["uid"], c["share_id"], c["id"], c["time"]))
            if c["parent"] != "0":
                parent = self.comments[c["parent"]]
                if parent["uid"] != c["uid"]:
                    events.append(self._event(parent["uid"], "reply", c["uid"], c["share_id"],
                                              c["id"], c["time"]))
        for (a, b), t in self.follow.items():
            events.append(self._event(b, "atten", a, "", "", t))
        events.sort(key=lambda e: e["time"])
        for e in events:
            e["read"] = True
        self.notices = events
        for uid, *counts in sd.UNREAD_NOTICES:
            for kind, count in zip(NOTICE_KINDS, counts):
                mine = [e for e in reversed(events) if e["to"] == uid and e["kind"] == kind]
                for e in mine[:count]:
                    e["read"] = False

    @staticmethod
    def _event(to, kind, source, share, comment, t):
        return {"to": to, "kind": kind, "from": source, "share_id": share,
                "comment_id": comment, "time": t, "read": False}

    # ---- look-ups (callers hold the lock) --------------------------------

    def user(self, uid):
        return self.users.get(uid)

    def authenticated(self, uid, token):
        """The user if uid and token belong together, else None."""
        user = self.users.get(uid or "")
        if user and token and user["token"] == token:
            return user
        return None

    def user_by_token(self, token):
        if not token:
            return None
        for user in self.users.values():
            if user["token"] == token:
                return user
        return None

    def picture(self, share_id):
        return self.pictures.get(share_id)

    def pictures_newest(self, include_big=False):
        pics = self._derived()["newest"]
        if include_big:
            return list(pics)
        return [p for p in pics if p["share_id"] != sd.BIG_SHARE_ID]

    def pictures_of(self, uid):
        return list(self._derived()["by_owner"].get(uid, []))

    def category_pictures(self, code):
        return [p for p in self.pictures_newest() if p["cate"] == code]

    def tag_pictures(self, tag):
        key = tag.strip().lower()
        if not key:
            return []
        pics = self.pictures_newest(include_big=True)
        exact = [p for p in pics if key in (t.lower() for t in p["tags"])]
        if exact:
            return exact
        return [p for p in pics if p["share_id"] != sd.BIG_SHARE_ID
                and (key in p["content"].lower() or any(key in t.lower() for t in p["tags"]))]

    def liked_pictures(self, uid):
        mine = [(t, share) for (who, share), t in self.likes.items() if who == uid]
        mine.sort(key=lambda x: (-x[0], x[1]))
        return [self.pictures[share] for _, share in mine if share in self.pictures]

    def follows_of(self, uid):
        return list(self._derived()["follows"].get(uid, []))

    def fans_of(self, uid):
        return list(self._derived()["fans"].get(uid, []))

    def is_following(self, uid, target):
        return bool(uid) and (uid, target) in self.follow

    def like_count(self, share_id):
        return self._derived()["like_counts"][share_id]

    def likes_given(self, uid):
        return self._derived()["likes_given"][uid]

    def comment_count(self, share_id):
        return len(self.comments_by_share.get(share_id, []))

    def relay_count(self, share_id):
        return self._derived()["relays"][share_id]

    def comments_of(self, share_id):
        ids = self.comments_by_share.get(share_id, [])
        return [self.comments[i] for i in reversed(ids)]

    def user_counts(self, uid):
        return {
            "follows": len(self.follows_of(uid)), "fans": len(self.fans_of(uid)),
            "favs": self.likes_given(uid), "photos": len(self.pictures_of(uid)),
        }

    def unread(self, uid):
        counts = {k: 0 for k in NOTICE_KINDS}
        for e in self.notices:
            if e["to"] == uid and not e["read"]:
                counts[e["kind"]] += 1
        return counts

    def notice_events(self, uid, kind, limit=30):
        mine = [e for e in self.notices if e["to"] == uid and e["kind"] == kind]
        return list(reversed(mine))[:limit]

    def search_users(self, text, limit=30):
        key = text.strip().lower()
        if not key:
            return []
        found = [u for u in self.users.values()
                 if key in u["name"].lower() or key == u["uid"]]
        return sorted(found, key=lambda u: u["uid"])[:limit]

    def featured_users(self, limit=12):
        ranked = sorted(self.users.values(),
                        key=lambda u: (-len(self.fans_of(u["uid"])), u["uid"]))
        return [u for u in ranked if self.pictures_of(u["uid"])][:limit]

    def activity(self, uid, limit=30):
        """Recent pictures, comments and forwards of the users uid follows."""
        followed = set(self.follows_of(uid))
        items = []
        for p in self.pictures.values():
            if p["owner"] in followed:
                items.append({"time": p["time"], "kind": "photo", "uid": p["owner"],
                              "share_id": p["share_id"], "text": p["content"]})
        for c in self.comments.values():
            if c["uid"] in followed:
                items.append({"time": c["time"], "kind": "comment", "uid": c["uid"],
                              "share_id": c["share_id"], "text": c["content"]})
        for who, share, t in self.forwards:
            if who in followed:
                items.append({"time": t, "kind": "forward", "uid": who, "share_id": share,
                              "text": self.pictures[share]["content"] if share in self.pictures else ""})
        items.sort(key=lambda i: (-i["time"], i["share_id"]))
        return items[:limit]

    # ---- changes (each takes the lock itself) ------------------------------

    def login(self, username, password_md5):
        with self.lock:
            name = (username or "").strip().lower()
            for user in self.users.values():
                if user["email"] == name and user["password_md5"] == password_md5:
                    self.logins += 1
                    return user
            return None

    def toggle_follow(self, uid, target):
        """Returns True when uid now follows target, False when it no longer does."""
        with self.lock:
            key = (uid, target)
            self._changed()
            if key in self.follow:
                del self.follow[key]
                return False
            self.follow[key] = now()
            self.notices.append(self._event(target, "atten", uid, "", "", now()))
            return True

    def add_comment(self, uid, share_id, parent_id, content):
        """Returns the new comment id, or None when the parent is unknown."""
        with self.lock:
            parent = None
            if parent_id and parent_id != "0":
                parent = self.comments.get(parent_id)
                if parent is None or parent["share_id"] != share_id:
                    return None
            comment = {"id": str(self.next_comment), "share_id": share_id, "uid": uid,
                       "content": content, "parent": parent["id"] if parent else "0",
                       "time": now()}
            self.next_comment += 1
            self._store_comment(comment)
            owner = self.pictures[share_id]["owner"]
            if owner != uid:
                self.notices.append(self._event(owner, "comm", uid, share_id, comment["id"], now()))
            if parent and parent["uid"] != uid:
                self.notices.append(self._event(parent["uid"], "reply", uid, share_id,
                                                comment["id"], now()))
            return comment["id"]

    def like(self, uid, share_id):
        """Returns "liked", "already" or "own"."""
        with self.lock:
            if self.pictures[share_id]["owner"] == uid:
                return "own"
            if (uid, share_id) in self.likes:
                return "already"
            self.likes[(uid, share_id)] = now()
            self._changed()
            return "liked"

    def forward(self, uid, share_id, content):
        with self.lock:
            self.forwards.append((uid, share_id, now()))
            self._changed()

    def mark_read(self, uid, kind):
        with self.lock:
            for e in self.notices:
                if e["to"] == uid and e["kind"] == kind:
                    e["read"] = True

    def add_unread(self, uid, kind, count):
        """Synthetic notices for tests of the notice poll."""
        with self.lock:
            others = [u for u in sorted(self.users) if u != uid] or [uid]
            for i in range(count):
                self.notices.append(self._event(uid, kind, others[i % len(others)], "", "", now()))

    def register(self, email, name, password_md5):
        """Returns the new user, or None when the e-mail is taken."""
        with self.lock:
            email = email.strip().lower()
            if any(u["email"] == email for u in self.users.values()):
                return None
            uid = str(self.next_uid)
            self.next_uid += 1
            user = {"uid": uid, "email": email, "name": name, "password_md5": password_md5,
                    "city": "", "avatar": "/avatars/default.jpg", "token": sd.token_for(uid),
                    "time": now()}
            self.users[uid] = user
            self.registrations.append(uid)
            self._changed()
            return user

    def update_profile(self, uid, name=None, city=None, avatar=None):
        with self.lock:
            user = self.users[uid]
            if name:
                user["name"] = name
            if city is not None:
                user["city"] = city
            if avatar:
                user["avatar"] = avatar

    def add_picture(self, uid, cate, content, tags, path):
        with self.lock:
            share_id = str(self.next_share)
            self.next_share += 1
            self.pictures[share_id] = {
                "share_id": share_id, "owner": uid, "cate": cate, "path": path(share_id),
                "content": content, "city": self.users[uid]["city"], "time": now(),
                "tags": tags,
            }
            self._changed()
            return share_id

    def add_feedback(self, nickname, text):
        with self.lock:
            self.feedback.append({"nickname": nickname, "text": text, "time": now()})
            del self.feedback[:-200]
