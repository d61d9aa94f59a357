"""JSON answers of the local picture service, one builder per request.

Each builder takes the state, the request parameters (a dict of decoded
texts) and the base address ("http://host:port") used for picture and avatar
addresses, and returns a Python value that the server writes as compact JSON
with ASCII escapes. Counts travel as JSON strings, flags as numbers, and the
keys are exactly those the client reads, misspellings included.
"""

import math
import time

import sampledata as sd

PICTURE_PAGE_SIZE = 12
USER_PAGE_SIZE = 10
HOME_FEED_SIZE = 30
TAG_FEED_LIMIT = 60

FAILED = {"status": 1, "msg": "请先登录"}


def s(value):
    return str(value)


def page_number(params):
    try:
        page = int(params.get("page", "1") or "1")
    except ValueError:
        page = 1
    return max(page, 1)  # the client asks for page 0 before its first answer


def paged(items, params, size):
    page = page_number(params)
    total = len(items)
    info = {"total": total, "page_count": int(math.ceil(total / float(size))), "page": page}
    start = (page - 1) * size
    return items[start:start + size], info


def avatar_url(base, user):
    return base + user["avatar"] if user else ""


def picture_url(base, pic):
    return base + pic["path"]


def latest_picture_url(st, base, uid):
    pics = st.pictures_of(uid)
    return picture_url(base, pics[0]) if pics else ""


def picture_item(st, base, pic, kind):
    """One element of "image_list". kind: "feed" (categories, home, likes),
    "publish" (own pictures), "tag" or "user" (another user's pictures)."""
    owner = st.user(pic["owner"])
    share = pic["share_id"]
    item = {}
    if kind == "user":
        item["img"] = picture_url(base, pic)
        item["user_name"] = owner["name"]
    else:
        item["url"] = picture_url(base, pic)
        item["uname"] = owner["name"]
    item.update({
        "avatar": avatar_url(base, owner), "share_id": share, "uid": pic["owner"],
        "content": pic["content"], "comment_count": s(st.comment_count(share)),
        "relay_count": s(st.relay_count(share)), "like_count": s(st.like_count(share)),
        "city_name": pic["city"],
    })
    if kind != "user":
        item["create_time"] = s(pic["time"])
    if kind in ("feed", "publish"):
        counts = st.user_counts(pic["owner"])
        item["follow_count"] = s(counts["follows"])
        item["fans" if kind == "feed" else "fans_count"] = s(counts["fans"])
    return item


def picture_page(st, base, pics, kind, params, size=PICTURE_PAGE_SIZE, whole=False):
    if whole:
        shown, info = pics, {"total": len(pics), "page_count": 1 if pics else 0, "page": 1}
    else:
        shown, info = paged(pics, params, size)
    return {"page": info, "image_list": [picture_item(st, base, p, kind) for p in shown]}


def viewer(st, params):
    return st.authenticated(params.get("uid"), params.get("token"))


# ---- lists -----------------------------------------------------------------

def category_list(st, params, base):
    return [{"cate_id": cid, "cate_code": code, "cate_name": name}
            for cid, code, name, _p, _s in sd.CATEGORIES]


def category_feed(st, params, base):
    code = params.get("cate", "")
    cat = sd.category_by_code(code)
    if cat is None:  # the category number is accepted as well as its code
        cat = next((c for c in sd.CATEGORIES if c[0] == code), None)
    pics = st.category_pictures(cat[1]) if cat else []
    return picture_page(st, base, pics, "feed", params, whole=True)


def home_feed(st, params, base):
    pics = st.pictures_newest()
    me = viewer(st, params)
    if me:
        near = set(st.follows_of(me["uid"])) | {me["uid"]}
        pics = [p for p in pics if p["owner"] in near] + [p for p in pics if p["owner"] not in near]
    return picture_page(st, base, pics[:HOME_FEED_SIZE], "feed", params, whole=True)


def tag_feed(st, params, base):
    pics = st.tag_pictures(params.get("tag", ""))[:TAG_FEED_LIMIT]
    return {"image_list": [picture_item(st, base, p, "tag") for p in pics]}


def hot_tags(st, params, base):
    return {"tag_list": [{"name": name} for name in sd.HOT_TAGS]}


def my_publish(st, params, base):
    me = viewer(st, params)
    if not me:
        return FAILED
    return picture_page(st, base, st.pictures_of(me["uid"]), "publish", params)


def my_like(st, params, base):
    me = viewer(st, params)
    if not me:
        return FAILED
    return picture_page(st, base, st.liked_pictures(me["uid"]), "feed", params)


def user_photos(st, params, base):
    """c_photo: another user's pictures with a page, the statistics without."""
    uid = params.get("uid", "")
    if st.user(uid) is None:
        return {"status": 1, "msg": "用户不存在"}
    if "page" not in params:
        counts = st.user_counts(uid)
        return {"info_num": {k: s(counts[k]) for k in ("follows", "fans", "favs", "photos")}}
    return picture_page(st, base, st.pictures_of(uid), "user", params)


def user_summary(st, base, user, viewer_uid, follow_key):
    uid = user["uid"]
    counts = st.user_counts(uid)
    return {
        "uid": uid, "uname": user["name"], "avatar": avatar_url(base, user),
        "img": latest_picture_url(st, base, uid),
        "foolows_count": s(counts["follows"]), "fans_count": s(counts["fans"]),
        "favs_count": s(counts["favs"]), "photos_count": s(counts["photos"]),
        follow_key: 1 if st.is_following(viewer_uid, uid) else 0,
    }


def featured_users(st, params, base):
    me = viewer(st, params)
    me_uid = me["uid"] if me else ""
    return {"daren_list": [user_summary(st, base, u, me_uid, "is_foolow")
                           for u in st.featured_users()]}


def search_people(st, params, base):
    me = viewer(st, params)
    me_uid = me["uid"] if me else ""
    return {"user_list": [user_summary(st, base, u, me_uid, "is_follow")
                          for u in st.search_users(params.get("sear", ""))]}


def follow_entry(st, base, uid, viewer_uid):
    user = st.user(uid)
    counts = st.user_counts(uid)
    share = None
    if counts["photos"]:
        share = {"photos": {k: s(counts[k]) for k in ("follows", "fans", "favs", "photos")}}
    return {"uid": uid, "user_name": user["name"], "avatar": avatar_url(base, user),
            "img": latest_picture_url(st, base, uid),
            "is_follow": 1 if st.is_following(viewer_uid, uid) else 0, "share": share}


def follows_list(st, params, base):
    """My follows, or with uid2 those of another user (flags for the viewer)."""
    me = viewer(st, params)
    other = params.get("uid2")
    if other:
        if st.user(other) is None:
            return {"status": 1, "msg": "用户不存在"}
        subject, viewer_uid = other, (me["uid"] if me else "")
    else:
        if not me:
            return FAILED
        subject = viewer_uid = me["uid"]
    shown, info = paged(st.follows_of(subject), params, USER_PAGE_SIZE)
    return {"page": info, "follows_list": [follow_entry(st, base, uid, viewer_uid) for uid in shown]}


def fans_list(st, params, base):
    me = viewer(st, params)
    if not me:
        return FAILED
    shown, info = paged(st.fans_of(me["uid"]), params, USER_PAGE_SIZE)
    entries = []
    for uid in shown:
        user = st.user(uid)
        entries.append({"uid": uid, "user_name": user["name"], "avatar": avatar_url(base, user),
                        "img": latest_picture_url(st, base, uid),
                        "is_follow": 1 if st.is_following(me["uid"], uid) else 0})
    return {"page": info, "fnas_list": entries}


def comment_list(st, params, base):
    share = params.get("id", "")
    pic = st.picture(share)
    me = viewer(st, params)
    following = bool(me and pic and st.is_following(me["uid"], pic["owner"]))
    entries = []
    for c in st.comments_of(share):
        author = st.user(c["uid"])
        entries.append({
            "comment_id": c["id"], "share_id": c["share_id"], "uid": c["uid"],
            "uname": author["name"], "avatar": avatar_url(base, author),
            "content": c["content"], "parent_id": c["parent"],
            "time": format_time(c["time"]),
        })
    return {"is_follow": "1" if following else "0", "comment_list": entries}


def picture_details(st, params, base):
    share = params.get("share_id", "")
    pic = st.picture(share)
    if pic is None:
        return {"status": 1, "msg": "图片不存在"}
    owner = st.user(pic["owner"])
    return {
        "share_id": share, "user_name": owner["name"], "content": pic["content"],
        "create_time": s(pic["time"]), "uid": pic["owner"],
        "collect_count": s(st.like_count(share)), "comment_count": s(st.comment_count(share)),
        "relay_count": s(st.relay_count(share)),
    }


def format_time(t):
    return time.strftime("%Y-%m-%d %H:%M", time.localtime(t))


# ---- session -----------------------------------------------------------------

def login_data(st, base, user):
    counts = st.user_counts(user["uid"])
    return {
        "uname": user["name"], "token": user["token"], "uid": user["uid"],
        "avatar": avatar_url(base, user), "image_count": s(counts["photos"]),
        "like_count": s(counts["favs"]), "follow_count": s(counts["follows"]),
        "fans_count": s(counts["fans"]),
    }


def login(st, params, form, base):
    """c_login: with a form body a login; with a token and no body the
    signed-in user's statistics."""
    if "username" in form or "password" in form:
        user = st.login(form.get("username", ""), form.get("password", ""))
        if user is None:
            return {"status": 1, "msg": "用户名或密码错误"}
        return {"status": 0, "data": login_data(st, base, user)}
    user = st.user_by_token(params.get("token", ""))
    if user is None:
        return FAILED
    data = login_data(st, base, user)
    data["is_num"] = sum(st.unread(user["uid"]).values())
    return {"status": 0, "data": data}


def logout(st, params, form, base):
    return {"status": 0}


def notice_counts(st, params, base):
    me = viewer(st, params)
    if not me:
        return {"status": 1, "comm": 0, "reply": 0, "atten": 0}
    return st.unread(me["uid"])


# ---- actions: the client only looks for "status":N in the text ------------------

def follow(st, params, form, base):
    me = viewer(st, params)
    target = params.get("buid", "")
    if not me:
        return {"status": 1, "msg": "请先登录"}
    if st.user(target) is None:
        return {"status": 1, "msg": "用户不存在"}
    if target == me["uid"]:
        return {"status": 3, "msg": "不能关注自己"}
    return {"status": 0, "is_follow": 1 if st.toggle_follow(me["uid"], target) else 0}


def comment(st, params, form, base):
    me = viewer(st, params)
    share = params.get("share_id", "")
    content = params.get("content", "")
    if not me:
        return {"status": 1, "msg": "请先登录"}
    if st.picture(share) is None:
        return {"status": 1, "msg": "图片不存在"}
    if not content.strip():
        return {"status": 1, "msg": "评论内容不能为空"}
    comment_id = st.add_comment(me["uid"], share, params.get("parent_id", "0"), content)
    if comment_id is None:
        return {"status": 1, "msg": "回复的评论不存在"}
    return {"status": 0, "comment_id": comment_id}


def like(st, params, form, base):
    # Status 4: liked; 2: liked before; anything else counts as failure.
    me = viewer(st, params)
    share = params.get("id", "")
    if not me:
        return {"status": 0, "msg": "请先登录"}
    if st.picture(share) is None:
        return {"status": 0, "msg": "图片不存在"}
    outcome = st.like(me["uid"], share)
    if outcome == "own":
        return {"status": 3, "msg": "不能喜欢自己的图片"}
    if outcome == "already":
        return {"status": 2, "msg": "已经喜欢过了"}
    return {"status": 4, "like_count": s(st.like_count(share))}


def forward(st, params, form, base):
    me = viewer(st, params)
    share = form.get("share_id", "")
    if not me:
        return {"status": 1, "msg": "请先登录"}
    if st.picture(share) is None:
        return {"status": 1, "msg": "图片不存在"}
    st.forward(me["uid"], share, form.get("content", ""))
    return {"status": 0, "relay_count": s(st.relay_count(share))}


def crash_upload(st, params, base):
    # The dump uploader's post; the request log keeps its size, nothing else is kept.
    return {"status": 0}


# (script path, action) -> builder. Builders of the second table also get the form body.
FEEDS = {
    ("/book.php", "c_all_list"): category_list,
    ("/u.php", "c_all"): category_list,
    ("/book.php", "c_cate"): category_feed,
    ("/book.php", "c_all"): home_feed,
    ("/book.php", "c_tag"): tag_feed,
    ("/book.php", "c_hot_tag"): hot_tags,
    ("/book.php", "c_comment_list"): comment_list,
    ("/book.php", "getShareIdInfo"): picture_details,
    ("/u.php", "c_my_publish"): my_publish,
    ("/u.php", "c_my_like"): my_like,
    ("/u.php", "c_photo"): user_photos,
    ("/u.php", "c_follows"): follows_list,
    ("/u.php", "c_fans"): fans_list,
    ("/u.php", "c_notice"): notice_counts,
    ("/daren.php", "c_daren"): featured_users,
    ("/daren.php", "c_search"): search_people,
    ("/crash.php", "upload"): crash_upload,
}
ACTIONS = {
    ("/user.php", "c_login"): login,
    ("/user.php", "c_logout"): logout,
    ("/u.php", "c_follow"): follow,
    ("/u.php", "c_comment"): comment,
    ("/u.php", "c_reply"): forward,
    ("/services/service.php", "share/fav"): like,
}


def find(path, params):
    """The builder for a request and whether it takes the form body."""
    if path == "/services/service.php":
        key = (path, "%s/%s" % (params.get("m", ""), params.get("a", "")))
    else:
        key = (path, params.get("action", ""))
    if key in ACTIONS:
        return ACTIONS[key], True
    if key in FEEDS:
        return FEEDS[key], False
    return None, False
