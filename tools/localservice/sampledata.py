"""Deterministic sample content of the local picture service.

Everything here is derived from fixed seeds, so two runs (and the picture
renderer in makedata.py) agree on every user, picture and comment.
"""

import hashlib
import random

BASE_TIME = 1370044800  # 2013-06-01 00:00:00 UTC; sample history starts here.
PICTURES_PER_CATEGORY = 24
FIRST_SHARE_ID = 5001
FIRST_COMMENT_ID = 90001
FIRST_UID = 1001

# Sizes every picture address is served in: the address itself, the
# thumbnail and the three large renditions the client picks by screen width.
BASE_SIZE = (1600, 1000)
THUMB_SUFFIX = "_160x160"
LARGE_SUFFIXES = ("_1024x768", "_1400x1050", "_1920x1200")
RENDITIONS = [("", BASE_SIZE), (THUMB_SUFFIX, (160, 160)),
              ("_1024x768", (1024, 768)), ("_1400x1050", (1400, 1050)),
              ("_1920x1200", (1920, 1200))]
AVATAR_SIZE = (100, 100)

BIG_PICTURE_NAME = "big20mb"
BIG_PICTURE_BYTES = 20 * 1024 * 1024
BIG_SHARE_ID = "5999"
BIG_TAG = "big20mb"

# id, code, display name, palette (ImageMagick colours), drawing style
CATEGORIES = [
    ("1", "gal", "美女", ["#f7a8c4", "#e0607e", "#fde2e4", "#c94f7c"], "bokeh"),
    ("2", "fashion", "时尚", ["#7b2cbf", "#e0aaff", "#240046", "#ff4d6d"], "stripes"),
    ("3", "fukei", "风景", ["#4ea8de", "#caf0f8", "#2d6a4f", "#95d5b2"], "landscape"),
    ("4", "moe", "萌物", ["#ffafcc", "#a2d2ff", "#ffe066", "#cdb4db"], "pastel"),
    ("5", "yummy", "美食", ["#f4a261", "#e76f51", "#fefae0", "#9c6644"], "plates"),
    ("6", "creative", "创意", ["#ff006e", "#3a86ff", "#ffbe0b", "#8338ec"], "swirl"),
    ("7", "crowd", "人群", ["#adb5bd", "#495057", "#f8f9fa", "#212529"], "crowd"),
    ("8", "sukini", "随拍", ["#2a9d8f", "#e9c46a", "#264653", "#a8dadc"], "blocks"),
]

CATEGORY_TAGS = {
    "gal": ["人像", "清新", "街拍", "微笑"],
    "fashion": ["时尚", "街拍", "复古", "穿搭"],
    "fukei": ["风景", "日落", "海边", "雪景", "森林", "星空"],
    "moe": ["萌宠", "猫咪", "手绘", "插画"],
    "yummy": ["美食", "甜点", "咖啡", "早餐"],
    "creative": ["创意", "色彩", "插画", "wallpaper"],
    "crowd": ["城市", "夜景", "黑白", "HDR"],
    "sukini": ["旅行", "建筑", "校园", "春天"],
}
GENERAL_TAGS = ["摄影", "壁纸", "秋天", "生活"]

# The hot-tag answer, in this order; every one of them has pictures.
HOT_TAGS = [
    "风景", "美食", "萌宠", "时尚", "人像", "旅行", "日落", "街拍", "猫咪",
    "甜点", "城市", "夜景", "创意", "插画", "海边", "咖啡", "清新", "复古",
    "雪景", "森林", "建筑", "黑白", "色彩", "星空", "春天", "秋天", "校园",
    "摄影", "wallpaper", "HDR",
]

CONTENT_PHRASES = {
    "gal": ["午后的阳光", "窗边的微笑", "街角的回眸", "花丛中的她", "安静的下午"],
    "fashion": ["今日穿搭", "复古风格", "秋冬新款", "撞色搭配", "简约就是美"],
    "fukei": ["山间的清晨", "湖边日落", "远方的雪山", "海边的黄昏", "森林小径"],
    "moe": ["小猫打哈欠", "懒洋洋的周末", "圆滚滚", "手绘小兔子", "好奇的眼睛"],
    "yummy": ["自制蛋糕", "早餐时间", "一杯拿铁", "家常小炒", "周末甜点"],
    "creative": ["色彩实验", "几何之美", "光影游戏", "随手涂鸦", "抽象的梦"],
    "crowd": ["下班高峰", "夜晚的街道", "地铁站", "广场上的人们", "城市节奏"],
    "sukini": ["路上随拍", "校园一角", "老房子", "春天来了", "旅途中"],
}
CONTENT_TAILS = ["", "，分享给大家", "，喜欢吗？", "~", "，拍于周末", "！"]

CITIES = ["北京", "上海", "广州", "深圳", "杭州", "成都", "南京", "武汉",
          "西安", "厦门", "青岛", "大连", "苏州", "重庆", "长沙", "昆明"]

COMMENT_PHRASES = [
    "太美了！", "好喜欢这张", "拍得真好", "求原图", "赞一个", "构图很棒",
    "颜色好舒服", "这是哪里？", "收藏了", "好想去", "看着就饿了", "哈哈哈",
    "设成壁纸了", "厉害", "很有感觉", "期待更多作品",
]
REPLY_PHRASES = ["同感！", "谢谢！", "是的", "我也这么觉得", "在杭州拍的", "下次一起去"]

# Display names by uid offset; 1004, 1020 and 1037 share a name on purpose,
# as avatar cache files are named after display names.
USER_NAMES = [
    "小夸演示", "测试员", "空空", "阿木", "小鹿", "晴天", "木子", "大熊", "糖糖",
    "Lucy", "阿杰", "米粒", "小北", "夏天", "Kevin", "橙子", "风铃", "大白",
    "豆豆", "阿木", "小雨", "lens_hunter", "七七", "老王", "云朵", "Momo", "阿飞",
    "小七", "星星", "海鸥", "Jack", "小胖", "柠檬", "布丁", "阿楠", "小林", "阿木",
    "饭团", "Sunny", "大力", "桃子", "Tom", "小满", "阿雅", "咕噜", "青青", "小舟",
    "Nina",
]

# Accounts whose passwords are documented; all others use the pattern below.
NAMED_ACCOUNTS = {
    "1001": ("demo@quarn.test", "quarn123"),
    "1002": ("test@quarn.test", "quarn456"),
    "1003": ("empty@quarn.test", "quarn789"),
}
DEMO_UID = "1001"
TEST_UID = "1002"
EMPTY_UID = "1003"

AVATAR_CHOICES = 8  # extra avatars offered by the personal settings page


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def token_for(uid):
    return md5_hex("quarn-token:" + uid)


def account_for(uid):
    if uid in NAMED_ACCOUNTS:
        return NAMED_ACCOUNTS[uid]
    return ("user%s@quarn.test" % uid, "pass%s" % uid)


def category_by_code(code):
    for cat in CATEGORIES:
        if cat[1] == code:
            return cat
    return None


def users():
    """List of dicts: uid, email, password (plain), name, city, avatar file."""
    rng = random.Random("quarn-users")
    result = []
    for i, name in enumerate(USER_NAMES):
        uid = str(FIRST_UID + i)
        email, password = account_for(uid)
        result.append({
            "uid": uid, "email": email, "password": password, "name": name,
            "city": rng.choice(CITIES), "avatar": "u%s.jpg" % uid,
            "time": BASE_TIME - 86400 * (len(USER_NAMES) - i),
        })
    return result


def picture_owner(index, rng, uids):
    # The demo and test accounts own every seventh picture each, so their
    # own-picture lists run over several pages.
    if index % 7 == 0:
        return DEMO_UID
    if index % 7 == 3:
        return TEST_UID
    return rng.choice(uids)


def pictures():
    """List of dicts describing every sample picture, oldest first."""
    rng = random.Random("quarn-pictures")
    others = [u["uid"] for u in users()
              if u["uid"] not in (DEMO_UID, TEST_UID, EMPTY_UID)]
    result = []
    index = 0
    for slot in range(PICTURES_PER_CATEGORY):
        for cat_id, code, _name, _palette, _style in CATEGORIES:
            share_id = str(FIRST_SHARE_ID + (int(cat_id) - 1) * PICTURES_PER_CATEGORY + slot)
            owner = picture_owner(index, rng, others)
            pool = CATEGORY_TAGS[code]
            tags = rng.sample(pool, 2)
            if rng.random() < 0.5:
                tags.append(rng.choice(GENERAL_TAGS))
            content = rng.choice(CONTENT_PHRASES[code]) + rng.choice(CONTENT_TAILS)
            result.append({
                "share_id": share_id, "owner": owner, "cate": code,
                "path": "/pictures/%s/p%s.jpg" % (code, share_id),
                "content": content, "city": rng.choice(CITIES),
                "time": BASE_TIME + index * 5400 + rng.randint(0, 3000),
                "tags": tags,
            })
            index += 1
    result.append({
        "share_id": BIG_SHARE_ID, "owner": TEST_UID, "cate": "",
        "path": "/pictures/%s.jpg" % BIG_PICTURE_NAME,
        "content": "20MB 大图（下载测试）", "city": "上海",
        "time": BASE_TIME - 86400, "tags": [BIG_TAG],
    })
    return result


def follows():
    """List of (follower uid, followed uid, time)."""
    rng = random.Random("quarn-follows")
    uids = [u["uid"] for u in users() if u["uid"] != EMPTY_UID]
    pairs = {}

    def add(a, b):
        if a != b and (a, b) not in pairs:
            pairs[(a, b)] = BASE_TIME + rng.randint(0, 86400 * 30)

    add(DEMO_UID, TEST_UID)
    add(TEST_UID, DEMO_UID)
    for other in rng.sample([u for u in uids if u not in (DEMO_UID, TEST_UID)], 14):
        add(DEMO_UID, other)
    for fan in rng.sample([u for u in uids if u not in (DEMO_UID, TEST_UID)], 21):
        add(fan, DEMO_UID)
    for uid in uids:
        if uid in (DEMO_UID, TEST_UID):
            continue
        for other in rng.sample(uids, rng.randint(2, 9)):
            add(uid, other)
    return sorted((a, b, t) for (a, b), t in pairs.items())


def likes(picture_list):
    """List of (uid, share id, time)."""
    rng = random.Random("quarn-likes")
    uids = [u["uid"] for u in users() if u["uid"] != EMPTY_UID]
    result = []
    for pic in picture_list:
        if pic["share_id"] == BIG_SHARE_ID:
            continue
        candidates = [u for u in uids if u != pic["owner"]]
        likers = set(rng.sample(candidates, rng.randint(0, 10)))
        if pic["owner"] != DEMO_UID and int(pic["share_id"]) % 9 == 0:
            likers.add(DEMO_UID)
        for uid in sorted(likers):
            result.append((uid, pic["share_id"], pic["time"] + rng.randint(600, 86400)))
    return result


def comments(picture_list, user_list):
    """List of dicts: id, share_id, uid, content, parent, time (oldest first)."""
    rng = random.Random("quarn-comments")
    names = {u["uid"]: u["name"] for u in user_list}
    uids = [u["uid"] for u in user_list if u["uid"] != EMPTY_UID]
    result = []
    next_id = FIRST_COMMENT_ID
    for pic in picture_list:
        count = rng.randint(0, 6)
        if pic["share_id"] == BIG_SHARE_ID:
            count = 1
        t = pic["time"]
        here = []
        for _ in range(count):
            t += rng.randint(300, 20000)
            author = rng.choice(uids)
            parent = None
            if here and rng.random() < 0.35:
                parent = rng.choice(here)
            if parent is not None:
                content = "//@%s:%s" % (names[parent["uid"]], rng.choice(REPLY_PHRASES))
            else:
                content = rng.choice(COMMENT_PHRASES)
            entry = {"id": str(next_id), "share_id": pic["share_id"], "uid": author,
                     "content": content, "parent": parent["id"] if parent else "0",
                     "time": t}
            next_id += 1
            here.append(entry)
            result.append(entry)
    return result


def forwards(picture_list):
    """List of (uid, share id, time)."""
    rng = random.Random("quarn-forwards")
    uids = [u["uid"] for u in users() if u["uid"] != EMPTY_UID]
    result = []
    for pic in picture_list:
        for uid in rng.sample(uids, rng.randint(0, 3)):
            result.append((uid, pic["share_id"], pic["time"] + rng.randint(600, 90000)))
    return result


# Unread notices of the sample accounts: (uid, comm, reply, atten).
UNREAD_NOTICES = [(DEMO_UID, 2, 1, 3), (TEST_UID, 0, 2, 0)]


def picture_art(pic):
    """Drawing parameters for one picture: style, palette order and seed."""
    rng = random.Random("quarn-art-" + pic["share_id"])
    cat = category_by_code(pic["cate"]) or CATEGORIES[5]
    palette = list(cat[3])
    rng.shuffle(palette)
    return {"style": cat[4], "palette": palette, "seed": rng.randint(1, 1 << 30),
            "rng": rng}


def avatar_art(key):
    rng = random.Random("quarn-avatar-" + key)
    cat = CATEGORIES[rng.randrange(len(CATEGORIES))]
    palette = list(cat[3])
    rng.shuffle(palette)
    return {"palette": palette, "seed": rng.randint(1, 1 << 30), "rng": rng}
