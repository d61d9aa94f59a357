"""Web pages of the local picture service (registration, password recovery,
personal settings, upload, activity, notices, feedback). The client shows
them in its embedded browser; their script talks back through the client's
window.external methods img, comm and reply."""

import email.parser
import email.policy
import html
import os
import shutil
import subprocess
import threading

import answers
import sampledata as sd

STYLE = """
body { font: 14px "宋体", "SimSun", sans-serif; color: #333; background: #f4f6f8; margin: 0; }
.box { width: 560px; margin: 24px auto; background: #fff; border: 1px solid #dde2e6; padding: 20px 28px; }
h1 { font-size: 18px; color: #1d6fa5; margin: 0 0 16px 0; }
label { display: inline-block; width: 90px; text-align: right; margin-right: 8px; }
.row { margin: 10px 0; }
input[type=text], input[type=password], select, textarea { width: 300px; }
.btn { padding: 4px 18px; }
.note { color: #888; font-size: 12px; }
.ok { color: #2b8a3e; } .err { color: #c92a2a; }
ul.items { list-style: none; padding: 0; } ul.items li { padding: 6px 0; border-bottom: 1px dashed #e3e3e3; }
img.av { width: 48px; height: 48px; vertical-align: middle; margin-right: 8px; }
.choices img { width: 56px; height: 56px; border: 2px solid transparent; }
"""

# Calls into the client; in an ordinary browser there is no such object, so
# the page says where it belongs instead of failing.
SCRIPT = """
function callClient(name, a, b) {
  try {
    var ext = window.external;
    if (name == 'img') { ext.img(a); }
    else if (name == 'comm') { ext.comm(a, b); }
    else if (name == 'reply') { ext.reply(a, b); }
    return true;
  } catch (e) {
    var note = document.getElementById('client-note');
    if (note) { note.innerHTML = '（请在 Quarn 客户端中使用此功能）'; }
    return false;
  }
}
"""


def esc(text):
    return html.escape(str(text), quote=True)


def page(title, body, onload=""):
    load = ' onload="%s"' % esc(onload) if onload else ""
    return ("<!DOCTYPE html>\n<html><head>"
            '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
            "<title>%s</title><style>%s</style><script type=\"text/javascript\">%s</script>"
            "</head><body%s><div class=\"box\"><h1>%s</h1>%s"
            '<p id="client-note" class="note"></p></div></body></html>\n'
            % (esc(title), STYLE, SCRIPT, load, esc(title), body))


def js_string(text):
    return "'" + str(text).replace("\\", "\\\\").replace("'", "\\'") + "'"


def session_query(user):
    return "uid=%s&token=%s" % (user["uid"], user["token"])


def need_login(title):
    return page(title, '<p class="err">请先登录 Quarn 客户端后再打开此页面。</p>')


class PageRequest:
    """What a page handler sees of one request."""

    def __init__(self, params, form, body, content_type, base, uploads):
        self.params = params
        self.form = form
        self.body = body
        self.content_type = content_type
        self.base = base
        self.uploads = uploads


# ---- registration and password ------------------------------------------------

def register(st, req):
    body = """
<form method="post" action="user.php?action=c_register_save">
<div class="row"><label>注册邮箱</label><input type="text" name="email"></div>
<div class="row"><label>昵称</label><input type="text" name="nickname"></div>
<div class="row"><label>密码</label><input type="password" name="password"></div>
<div class="row"><label>确认密码</label><input type="password" name="password2"></div>
<div class="row"><label></label><input class="btn" type="submit" value="注册"></div>
</form><p class="note">注册后请关闭本页，在登录窗口中用邮箱和密码登录。</p>"""
    return page("注册 Quarn 账号", body)


def register_save(st, req):
    email = req.form.get("email", "").strip()
    nickname = req.form.get("nickname", "").strip()
    password = req.form.get("password", "")
    problem = None
    if "@" not in email:
        problem = "请输入正确的邮箱地址。"
    elif not nickname:
        problem = "请输入昵称。"
    elif len(password) < 6:
        problem = "密码至少需要 6 位。"
    elif password != req.form.get("password2", ""):
        problem = "两次输入的密码不一致。"
    if problem is None:
        # The client sends the MD5 digest of the password bytes it typed.
        user = st.register(email, nickname, sd.md5_hex(password))
        if user is None:
            problem = "该邮箱已经注册过了。"
    if problem:
        return page("注册 Quarn 账号", '<p class="err">%s</p><p><a href="user.php?action=c_register">返回</a></p>'
                    % esc(problem))
    return page("注册成功", '<p class="ok">注册成功！请关闭本页，用 %s 登录。</p>' % esc(email))


def forget_password(st, req):
    body = """
<form method="post" action="user.php?action=c_forgetpassword_save">
<div class="row"><label>注册邮箱</label><input type="text" name="email"></div>
<div class="row"><label></label><input class="btn" type="submit" value="找回密码"></div>
</form>"""
    return page("找回密码", body)


def forget_password_save(st, req):
    email = req.form.get("email", "").strip()
    with st.lock:
        known = any(u["email"] == email.lower() for u in st.users.values())
    if not known:
        return page("找回密码", '<p class="err">该邮箱尚未注册。</p>')
    return page("找回密码", '<p class="ok">重置密码的邮件已发送到 %s，请查收。</p>' % esc(email))


# ---- personal settings ------------------------------------------------------------

def personal(st, req):
    with st.lock:
        user = st.authenticated(req.params.get("uid"), req.params.get("token"))
        if not user:
            return need_login("个人设置")
        choices = []
        for i in range(1, sd.AVATAR_CHOICES + 1):
            path = "/avatars/choice%d.jpg" % i
            checked = " checked" if user["avatar"] == path else ""
            choices.append('<label style="width:auto"><input type="radio" name="avatar" value="%s"%s>'
                           '<img src="%s%s" alt=""></label>' % (path, checked, req.base, path))
        body = """
<form method="post" action="settings.php?action=c_personal_save&%s">
<div class="row"><label>当前头像</label><img class="av" src="%s%s" alt=""></div>
<div class="row"><label>昵称</label><input type="text" name="nickname" value="%s"></div>
<div class="row"><label>所在城市</label><input type="text" name="city" value="%s"></div>
<div class="row choices"><label>更换头像</label>%s</div>
<div class="row"><label></label><input class="btn" type="submit" value="保存"></div>
</form>""" % (session_query(user), req.base, esc(user["avatar"]), esc(user["name"]),
              esc(user["city"]), "".join(choices))
    return page("个人设置", body)


def personal_save(st, req):
    with st.lock:
        user = st.authenticated(req.params.get("uid"), req.params.get("token"))
        if not user:
            return need_login("个人设置")
        avatar = req.form.get("avatar", "")
        valid = ["/avatars/choice%d.jpg" % i for i in range(1, sd.AVATAR_CHOICES + 1)]
        changed = avatar in valid and avatar != user["avatar"]
        st.update_profile(user["uid"], name=req.form.get("nickname", "").strip() or None,
                          city=req.form.get("city", user["city"]).strip(),
                          avatar=avatar if changed else None)
        back = "settings.php?action=c_personal&%s" % session_query(user)
        url = req.base + user["avatar"]
    onload = "callClient('img', %s)" % js_string(url) if changed else ""
    return page("个人设置", '<p class="ok">保存成功。</p><p><a href="%s">返回个人设置</a></p>' % esc(back),
                onload=onload)


# ---- upload -----------------------------------------------------------------

def upload(st, req):
    with st.lock:
        user = st.authenticated(req.params.get("uid"), req.params.get("token"))
        if not user:
            return need_login("上传图片")
        options = "".join('<option value="%s">%s</option>' % (code, esc(name))
                          for _id, code, name, _p, _s in sd.CATEGORIES)
        body = """
<form method="post" enctype="multipart/form-data" action="u.php?action=image_save&%s">
<div class="row"><label>选择图片</label><input type="file" name="picture" accept="image/jpeg"></div>
<div class="row"><label>分类</label><select name="cate">%s</select></div>
<div class="row"><label>描述</label><input type="text" name="content"></div>
<div class="row"><label>标签</label><input type="text" name="tags"> <span class="note">用空格分开</span></div>
<div class="row"><label></label><input class="btn" type="submit" value="上传"></div>
</form><p class="note">支持 JPEG 图片，最大 8 MB。</p>""" % (session_query(user), options)
    return page("上传图片", body)


def upload_save(st, req):
    with st.lock:
        user = st.authenticated(req.params.get("uid"), req.params.get("token"))
    if not user:
        return need_login("上传图片")
    fields, files = parse_multipart(req.content_type, req.body)
    data = files.get("picture", b"")
    if not data.startswith(b"\xff\xd8"):
        return page("上传图片", '<p class="err">请选择一张 JPEG 图片。</p>')
    cate = fields.get("cate", "")
    if sd.category_by_code(cate) is None:
        cate = sd.CATEGORIES[7][1]
    tags = [t for t in fields.get("tags", "").split() if t][:5]
    share_id = st.add_picture(user["uid"], cate, fields.get("content", "").strip(), tags,
                              lambda sid: "/pictures/up/p%s.jpg" % sid)
    req.uploads.store(share_id, data)
    body = ('<p class="ok">上传成功！</p><p><a href="#" onclick="callClient(\'comm\', %s, %s); return false;">'
            "查看这张图片</a></p>" % (esc(js_string(share_id)), esc(js_string(user["uid"]))))
    return page("上传图片", body)


def parse_multipart(content_type, body):
    """Fields (texts) and files (bytes) of a multipart/form-data body."""
    fields, files = {}, {}
    if "multipart/form-data" not in (content_type or ""):
        return fields, files
    head = ("Content-Type: %s\r\nMIME-Version: 1.0\r\n\r\n" % content_type).encode("latin-1", "replace")
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + body)
    if not message.is_multipart():
        return fields, files
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        if not name:
            continue
        payload = part.get_payload(decode=True) or b""
        if part.get_filename() is not None:
            files[name] = payload
        else:
            fields[name] = payload.decode("utf-8", "replace")
    return fields, files


class UploadStore:
    """Uploaded pictures and their renditions, in a folder of this server run."""

    MAX_UPLOADS = 50

    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.count = 0

    def clear(self):
        with self.lock:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.count = 0

    def path_for(self, name):
        return os.path.join(self.folder, name)

    def store(self, share_id, data):
        with self.lock:
            if self.count >= self.MAX_UPLOADS:
                return
            self.count += 1
            os.makedirs(self.folder, exist_ok=True)
        source = self.path_for("p%s.jpg" % share_id)
        with open(source, "wb") as f:
            f.write(data)
        for suffix, (w, h) in sd.RENDITIONS:
            if not suffix:
                continue
            target = self.path_for("p%s%s.jpg" % (share_id, suffix))
            done = False
            if shutil.which("convert"):
                proc = subprocess.run(
                    ["convert", source, "-resize", "%dx%d^" % (w, h), "-gravity", "center",
                     "-extent", "%dx%d" % (w, h), "-quality", "85", target],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                done = proc.returncode == 0
            if not done:
                shutil.copyfile(source, target)


# ---- activity and notices ------------------------------------------------------------

def item_link(kind, share_id, second):
    return ('<a href="#" onclick="callClient(\'%s\', %s, %s); return false;">查看</a>'
            % (kind, esc(js_string(share_id)), esc(js_string(second))))


def activity(st, req):
    with st.lock:
        user = st.authenticated(req.params.get("uid"), req.params.get("token"))
        if not user:
            return need_login("我的动态")
        rows = []
        verbs = {"photo": "发布了图片", "comment": "评论了图片", "forward": "转发了图片"}
        for item in st.activity(user["uid"]):
            who = st.user(item["uid"])
            pic = st.picture(item["share_id"])
            if pic is None:
                continue
            rows.append('<li><img class="av" src="%s" alt="">%s %s：%s %s <span class="note">%s</span></li>' % (
                esc(answers.avatar_url(req.base, who)), esc(who["name"]), verbs[item["kind"]],
                esc(item["text"]), item_link("comm", pic["share_id"], pic["owner"]),
                answers.format_time(item["time"])))
    if not rows:
        rows.append("<li>你关注的人还没有新动态。</li>")
    return page("我的动态", '<ul class="items">%s</ul>' % "".join(rows))


NOTICE_TITLES = {"comm": "评论我的", "reply": "回复我的", "atten": "关注我的"}


def notices(kind):
    def handler(st, req):
        title = NOTICE_TITLES[kind]
        with st.lock:
            user = st.authenticated(req.params.get("uid"), req.params.get("token"))
            if not user:
                return need_login(title)
            rows = []
            for e in st.notice_events(user["uid"], kind):
                who = st.user(e["from"])
                fresh = '<b class="err">新</b> ' if not e["read"] else ""
                when = '<span class="note">%s</span>' % answers.format_time(e["time"])
                if kind == "atten":
                    rows.append('<li>%s<img class="av" src="%s" alt="">%s 关注了你 %s</li>' % (
                        fresh, esc(answers.avatar_url(req.base, who)), esc(who["name"]), when))
                    continue
                comment = st.comments.get(e["comment_id"])
                pic = st.picture(e["share_id"])
                if comment is None or pic is None:
                    continue
                verb = "评论了你的图片" if kind == "comm" else "回复了你"
                rows.append('<li>%s<img class="av" src="%s" alt="">%s %s：%s %s %s</li>' % (
                    fresh, esc(answers.avatar_url(req.base, who)), esc(who["name"]), verb,
                    esc(comment["content"]), item_link(kind, pic["share_id"], pic["owner"]), when))
            st.mark_read(user["uid"], kind)
        if not rows:
            rows.append("<li>暂时没有消息。</li>")
        return page(title, '<ul class="items">%s</ul>' % "".join(rows))
    return handler


# ---- feedback ----------------------------------------------------------------------

def suggestion(st, req):
    if req.params.get("action") == "save":
        st.add_feedback(req.form.get("nickname", ""), req.form.get("text", ""))
        return page("意见反馈", '<p class="ok">谢谢你的反馈！</p>')
    nickname = req.params.get("nickname", "")
    greeting = "你好，%s！" % esc(nickname) if nickname else "你好！"
    body = """<p>%s欢迎告诉我们你的想法。</p>
<form method="post" action="?action=save">
<input type="hidden" name="nickname" value="%s">
<div class="row"><textarea name="text" rows="6"></textarea></div>
<div class="row"><input class="btn" type="submit" value="提交"></div>
</form>""" % (greeting, esc(nickname))
    return page("意见反馈", body)


# (script path, action) -> handler
PAGES = {
    ("/user.php", "c_register"): register,
    ("/user.php", "c_register_save"): register_save,
    ("/user.php", "c_forgetpassword"): forget_password,
    ("/user.php", "c_forgetpassword_save"): forget_password_save,
    ("/settings.php", "c_personal"): personal,
    ("/settings.php", "c_personal_save"): personal_save,
    ("/u.php", "image"): upload,
    ("/u.php", "image_save"): upload_save,
    ("/u.php", "trans_page"): activity,
    ("/u.php", "comm_page"): notices("comm"),
    ("/u.php", "reply_page"): notices("reply"),
    ("/u.php", "atten_page"): notices("atten"),
}


def find(path, params):
    if path in ("/suggestion/", "/suggestion"):
        return suggestion
    return PAGES.get((path, params.get("action", "")))

