#!/usr/bin/env python3
"""Renders the pictures of the local picture service into its data folder.

Every sample picture is drawn once at 1920x1200 with ImageMagick (gradients,
plasma and shapes in its category's palette) and written in all the sizes a
client may ask for: the address itself, the 160x160 thumbnail and the three
large renditions. Avatars, the avatar choices of the settings page and one
20 MiB picture for download benchmarks complete the set. A stamp file marks a
finished folder, so later runs return at once.

    python3 makedata.py [--data DIR] [--jobs N] [--tiny] [--force]
"""

import argparse
import concurrent.futures
import contextlib
import fcntl
import os
import random
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sampledata as sd  # noqa: E402

DATA_VERSION = "quarn-service-data 1"
STAMP_NAME = ".complete"
DEFAULT_DATA_DIR = "/var/cache/quarn-service-data"
LABEL_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
MASTER = (1920, 1200)


def default_data_dir():
    return os.environ.get("QUARN_SERVICE_DATA") or DEFAULT_DATA_DIR


def stamp_text(tiny):
    return DATA_VERSION + (" tiny" if tiny else " full") + "\n"


def read_stamp(data_dir):
    try:
        with open(os.path.join(data_dir, STAMP_NAME), encoding="ascii") as f:
            return f.read()
    except OSError:
        return ""


def is_complete(data_dir, tiny=True):
    """Whether data_dir is finished; a tiny set counts only when tiny is asked for."""
    stamp = read_stamp(data_dir)
    return stamp == stamp_text(False) or (tiny and stamp == stamp_text(True))


def rendition_path(data_dir, url_path, suffix):
    base, ext = os.path.splitext(url_path.lstrip("/"))
    return os.path.join(data_dir, base + suffix + ext)


def background_args(art, w, h):
    """Arguments that leave one w x h background image on the stack."""
    p = art["palette"]
    style = art["style"]
    rng = art["rng"]
    small = "%dx%d" % (max(w // 4, 8), max(h // 4, 8))
    full = "%dx%d!" % (w, h)
    if style == "landscape":
        return ["-size", "%dx%d" % (w, h), "gradient:%s-%s" % (p[0], p[1])]
    if style in ("stripes", "blocks"):
        angle = rng.choice([45, 90, 135, 160])
        return ["-size", "%dx%d" % (w, h), "-define", "gradient:angle=%d" % angle,
                "gradient:%s-%s" % (p[0], p[2])]
    if style == "plates":
        return ["-size", "%dx%d" % (w, h), "radial-gradient:%s-%s" % (p[2], p[0])]
    if style == "crowd":
        return ["-size", "%dx%d" % (w, h), "gradient:%s-%s" % (p[2], p[0])]
    # bokeh, pastel, swirl: soft plasma scaled up from a quarter-size field
    args = ["-seed", str(art["seed"]), "-size", small,
            "plasma:%s-%s" % (p[0], p[1]), "-blur", "0x1.5", "-resize", full]
    if style == "swirl":
        args += ["-swirl", str(rng.randint(120, 300))]
    if style == "pastel":
        args += ["-modulate", "100,85"]
    return args


def shape_args(art, w, h):
    """Drawing primitives over the background, scaled to the image size."""
    p = art["palette"]
    rng = art["rng"]
    style = art["style"]
    s = w / 1920.0
    draws = []

    def px(v):
        return int(v * s)

    if style == "landscape":
        sun_x, sun_y, sun_r = rng.randint(300, 1600), rng.randint(150, 450), rng.randint(60, 140)
        draws += ["-fill", "#fff3b0", "-draw", "circle %d,%d %d,%d" % (
            px(sun_x), px(sun_y), px(sun_x + sun_r), px(sun_y))]
        for layer, colour in enumerate([p[3], p[2], "#1b4332"]):
            base_y = 700 + layer * 170
            pts = ["0,%d" % h]
            x = 0
            while x <= 1920:
                pts.append("%d,%d" % (px(x), px(base_y - rng.randint(0, 300 - layer * 60))))
                x += rng.randint(160, 420)
            pts.append("%d,%d" % (w, px(base_y - 100)))
            pts.append("%d,%d" % (w, h))
            draws += ["-fill", colour, "-draw", "polygon " + " ".join(pts)]
    elif style == "bokeh":
        for _ in range(rng.randint(10, 18)):
            x, y, r = rng.randint(0, 1920), rng.randint(0, 1200), rng.randint(40, 200)
            draws += ["-fill", "%s80" % rng.choice(p[2:] + ["#ffffff"]), "-draw",
                      "circle %d,%d %d,%d" % (px(x), px(y), px(x + r), px(y))]
    elif style == "stripes":
        for _ in range(rng.randint(5, 9)):
            x = rng.randint(-400, 1900)
            width = rng.randint(40, 220)
            draws += ["-fill", "%sb0" % rng.choice(p), "-draw",
                      "polygon %d,0 %d,0 %d,%d %d,%d" % (
                          px(x), px(x + width), px(x + width - 500), h, px(x - 500), h)]
    elif style == "pastel":
        for _ in range(rng.randint(12, 24)):
            x, y, r = rng.randint(0, 1920), rng.randint(0, 1200), rng.randint(15, 60)
            draws += ["-fill", "#ffffffa0", "-draw",
                      "circle %d,%d %d,%d" % (px(x), px(y), px(x + r), px(y))]
    elif style == "plates":
        for _ in range(rng.randint(2, 4)):
            x, y = rng.randint(300, 1600), rng.randint(250, 950)
            r = rng.randint(180, 330)
            draws += ["-fill", "#fffdf7", "-draw", "circle %d,%d %d,%d" % (px(x), px(y), px(x + r), px(y))]
            draws += ["-fill", p[1], "-draw", "circle %d,%d %d,%d" % (
                px(x), px(y), px(x + r * 2 // 3), px(y))]
            draws += ["-fill", p[3], "-draw", "circle %d,%d %d,%d" % (
                px(x + r // 5), px(y - r // 6), px(x + r // 5 + r // 4), px(y - r // 6))]
    elif style == "crowd":
        for row in range(5):
            y = 620 + row * 120
            x = rng.randint(-40, 40)
            while x < 1960:
                r = rng.randint(26, 40)
                shade = rng.choice(p[1:])
                draws += ["-fill", shade, "-draw", "circle %d,%d %d,%d" % (px(x), px(y), px(x + r), px(y)),
                          "-draw", "roundrectangle %d,%d %d,%d %d,%d" % (
                              px(x - r * 1.4), px(y + r + 6), px(x + r * 1.4), px(y + r * 5), px(20), px(20))]
                x += rng.randint(90, 170)
    elif style == "blocks":
        for _ in range(rng.randint(8, 16)):
            x, y = rng.randint(0, 1800), rng.randint(0, 1100)
            bw, bh = rng.randint(80, 420), rng.randint(80, 420)
            draws += ["-fill", "%sc0" % rng.choice(p), "-draw",
                      "rectangle %d,%d %d,%d" % (px(x), px(y), px(x + bw), px(y + bh))]
    elif style == "swirl":
        for _ in range(rng.randint(3, 6)):
            x, y, r = rng.randint(0, 1920), rng.randint(0, 1200), rng.randint(60, 240)
            draws += ["-fill", "none", "-stroke", rng.choice(p), "-strokewidth", str(max(px(14), 2)),
                      "-draw", "circle %d,%d %d,%d" % (px(x), px(y), px(x + r), px(y)), "-stroke", "none"]
    return draws


def label_args(text, w):
    if not os.path.exists(LABEL_FONT):
        return []
    return ["-font", LABEL_FONT, "-pointsize", str(max(w // 48, 10)), "-fill", "#ffffffd0",
            "-stroke", "#00000060", "-strokewidth", "1", "-gravity", "south",
            "-annotate", "+0+%d" % (w // 40), text, "-gravity", "northwest",
            "-stroke", "none"]


def resize_write(size, target):
    w, h = size
    return ["(", "+clone", "-filter", "Triangle", "-resize", "%dx%d^" % (w, h), "-gravity", "center",
            "-extent", "%dx%d" % (w, h), "+gravity", "-write", target, "+delete", ")"]


def picture_command(pic, targets):
    art = sd.picture_art(pic)
    w, h = MASTER
    cmd = ["convert"] + background_args(art, w, h) + shape_args(art, w, h)
    cmd += label_args("#" + pic["share_id"], w)
    cmd += ["-quality", "85", "-strip"]
    for suffix, size in sd.RENDITIONS:
        cmd += resize_write(size, targets[suffix])
    cmd += ["null:"]
    return cmd


def avatar_command(key, target):
    art = sd.avatar_art(key)
    p = art["palette"]
    rng = art["rng"]
    w, h = sd.AVATAR_SIZE
    cmd = ["convert", "-size", "%dx%d" % (w, h), "radial-gradient:%s-%s" % (p[0], p[1])]
    cmd += ["-fill", p[2], "-draw", "circle 50,40 50,%d" % (40 - rng.randint(14, 20))]
    cmd += ["-fill", p[3], "-draw", "ellipse 50,100 %d,%d 180,360" % (rng.randint(28, 38), rng.randint(30, 40))]
    cmd += ["-quality", "90", "-strip", target]
    return cmd


def tiny_command(colour, size, target):
    return ["convert", "-size", "%dx%d" % size, "xc:" + colour, "-quality", "70", target]


def run(cmd):
    # One thread per convert: the pool already keeps every core busy, and
    # ImageMagick's own threads mostly wait on each other for these sizes.
    env = dict(os.environ, MAGICK_THREAD_LIMIT="1")
    proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    if proc.returncode != 0:
        return "%s: %s" % (" ".join(cmd[:6]), proc.stderr.decode("utf-8", "replace").strip())
    return None


def atomic_targets(final_paths):
    """Temporary names beside the final ones, so a broken run leaves no half files."""
    return {k: "%s.part%d.jpg" % (v, os.getpid()) for k, v in final_paths.items()}


def render_picture(pic, data_dir):
    finals = {suffix: rendition_path(data_dir, pic["path"], suffix) for suffix, _ in sd.RENDITIONS}
    if all(os.path.exists(p) for p in finals.values()):
        return None
    os.makedirs(os.path.dirname(finals[""]), exist_ok=True)
    temps = atomic_targets(finals)
    error = run(picture_command(pic, temps))
    if error:
        return error
    for suffix in finals:
        os.replace(temps[suffix], finals[suffix])
    return None


def render_avatar(key, target):
    if os.path.exists(target):
        return None
    os.makedirs(os.path.dirname(target), exist_ok=True)
    temp = "%s.part%d.jpg" % (target, os.getpid())
    error = run(avatar_command(key, temp))
    if error:
        return error
    os.replace(temp, target)
    return None


def write_big_picture(data_dir, tiny_source=None):
    """A real JPEG padded after its end marker to exactly 20 MiB."""
    target = os.path.join(data_dir, "pictures", sd.BIG_PICTURE_NAME + ".jpg")
    if os.path.exists(target) and os.path.getsize(target) == sd.BIG_PICTURE_BYTES:
        return None
    os.makedirs(os.path.dirname(target), exist_ok=True)
    head_path = target + ".head.jpg"
    thumb = rendition_path(data_dir, "/pictures/%s.jpg" % sd.BIG_PICTURE_NAME, sd.THUMB_SUFFIX)
    art = {"style": "swirl", "palette": ["#0b3954", "#bfd7ea", "#ff5a5f", "#c81d25"],
           "seed": 20, "rng": random.Random("quarn-big")}
    w, h = MASTER
    if tiny_source:
        cmd = tiny_command("#0b3954", MASTER, head_path)
    else:
        cmd = (["convert"] + background_args(art, w, h) + shape_args(art, w, h)
               + label_args("20 MB", w) + ["-quality", "95", "-strip"])
        cmd += resize_write((160, 160), thumb) + [head_path]
    error = run(cmd)
    if error:
        return error
    if tiny_source:
        shutil.copyfile(tiny_source, thumb)
    with open(head_path, "rb") as f:
        head = f.read()
    os.remove(head_path)
    filler = random.Random("quarn-big-filler").randbytes(sd.BIG_PICTURE_BYTES - len(head))
    temp = target + ".part"
    with open(temp, "wb") as f:
        f.write(head)
        f.write(filler)
    os.replace(temp, target)
    return None


def link_big_renditions(data_dir):
    """The large renditions of the big picture are the same 20 MiB file."""
    source = os.path.join(data_dir, "pictures", sd.BIG_PICTURE_NAME + ".jpg")
    for suffix in sd.LARGE_SUFFIXES:
        target = rendition_path(data_dir, "/pictures/%s.jpg" % sd.BIG_PICTURE_NAME, suffix)
        if os.path.exists(target):
            os.remove(target)
        try:
            os.link(source, target)
        except OSError:
            shutil.copyfile(source, target)


def make_tiny(data_dir):
    """Flat pictures of the right sizes, one set per category, copied to every
    picture: fast enough for unit tests."""
    templates = {}
    tmpl_dir = os.path.join(data_dir, ".templates")
    os.makedirs(tmpl_dir, exist_ok=True)
    for _id, code, _name, palette, _style in sd.CATEGORIES:
        for suffix, size in sd.RENDITIONS:
            target = os.path.join(tmpl_dir, "%s%s.jpg" % (code, suffix))
            if not os.path.exists(target):
                error = run(tiny_command(palette[0], size, target))
                if error:
                    return [error]
            templates[(code, suffix)] = target
    avatar_tmpl = os.path.join(tmpl_dir, "avatar.jpg")
    if not os.path.exists(avatar_tmpl):
        error = run(tiny_command("#888888", sd.AVATAR_SIZE, avatar_tmpl))
        if error:
            return [error]
    for pic in sd.pictures():
        if pic["share_id"] == sd.BIG_SHARE_ID:
            continue
        for suffix, _ in sd.RENDITIONS:
            target = rendition_path(data_dir, pic["path"], suffix)
            if not os.path.exists(target):
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(templates[(pic["cate"], suffix)], target)
    for target in avatar_targets(data_dir).values():
        if not os.path.exists(target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(avatar_tmpl, target)
    error = write_big_picture(data_dir, tiny_source=templates[("creative", sd.THUMB_SUFFIX)])
    return [error] if error else []


def avatar_targets(data_dir):
    targets = {}
    for user in sd.users():
        targets[user["uid"]] = os.path.join(data_dir, "avatars", user["avatar"])
    for i in range(1, sd.AVATAR_CHOICES + 1):
        targets["choice%d" % i] = os.path.join(data_dir, "avatars", "choice%d.jpg" % i)
    targets["default"] = os.path.join(data_dir, "avatars", "default.jpg")
    return targets


def make_full(data_dir, jobs):
    errors = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        futures = [pool.submit(render_picture, pic, data_dir)
                   for pic in sd.pictures() if pic["share_id"] != sd.BIG_SHARE_ID]
        futures += [pool.submit(render_avatar, key, target)
                    for key, target in avatar_targets(data_dir).items()]
        futures.append(pool.submit(write_big_picture, data_dir))
        done = 0
        for future in concurrent.futures.as_completed(futures):
            done += 1
            error = future.result()
            if error:
                errors.append(error)
            if done % 40 == 0:
                print("  %d/%d" % (done, len(futures)), flush=True)
    return errors


def debris(data_dir):
    """What a broken or overlapping run left: temporary files and empty
    pictures. A picture is never empty, and a client would cache an empty
    answer as a picture that never loads."""
    found = []
    for name in ("pictures", "avatars"):
        for folder, _dirs, files in os.walk(os.path.join(data_dir, name)):
            for file in files:
                path = os.path.join(folder, file)
                if ".part" in file or size_or_none(path) == 0:
                    found.append(path)
    return found


def size_or_none(path):
    # The unlocked look before make() takes the lock can meet a writer
    # renaming its temporary files away.
    try:
        return os.path.getsize(path)
    except FileNotFoundError:
        return None


@contextlib.contextmanager
def only_writer(data_dir):
    """One run at a time fills a folder: two at once (a test run and a
    service started by hand) would write the same temporary files."""
    os.makedirs(data_dir, exist_ok=True)
    with open(os.path.join(data_dir, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def make(data_dir, jobs=None, tiny=False, force=False, quiet=False):
    """Fills data_dir; returns a list of error texts (empty on success)."""
    if is_complete(data_dir, tiny) and not force and not debris(data_dir):
        return []
    with only_writer(data_dir):
        return make_locked(data_dir, jobs, tiny, force, quiet)


def make_locked(data_dir, jobs, tiny, force, quiet):
    left = debris(data_dir)
    if is_complete(data_dir, tiny) and not force and not left:
        return []  # another run finished it meanwhile
    if left and not force and read_stamp(data_dir) in (stamp_text(False), stamp_text(True)):
        # Only the broken pictures are made again.
        for path in left:
            os.remove(path)
        os.remove(os.path.join(data_dir, STAMP_NAME))
    if os.path.isdir(data_dir) and (force or read_stamp(data_dir)):
        # A forced run, an older version or flat test pictures: start afresh,
        # removing only what this script writes.
        for name in ("pictures", "avatars", ".templates"):
            shutil.rmtree(os.path.join(data_dir, name), ignore_errors=True)
        if os.path.exists(os.path.join(data_dir, STAMP_NAME)):
            os.remove(os.path.join(data_dir, STAMP_NAME))
    for path in debris(data_dir):
        os.remove(path)
    if not shutil.which("convert"):
        return ["ImageMagick 'convert' not found (apt-get install imagemagick)"]
    if not quiet:
        print("rendering pictures into %s%s" % (data_dir, " (tiny)" if tiny else ""), flush=True)
    errors = make_tiny(data_dir) if tiny else make_full(data_dir, jobs or os.cpu_count() or 2)
    if errors:
        return errors
    link_big_renditions(data_dir)
    with open(os.path.join(data_dir, STAMP_NAME), "w", encoding="ascii") as f:
        f.write(stamp_text(tiny))
    return []


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default=default_data_dir(), help="data folder")
    parser.add_argument("--jobs", type=int, default=0, help="parallel renderers")
    parser.add_argument("--tiny", action="store_true", help="flat pictures, for tests")
    parser.add_argument("--force", action="store_true", help="render everything again")
    args = parser.parse_args(argv)
    errors = make(args.data, jobs=args.jobs or None, tiny=args.tiny, force=args.force)
    for error in errors:
        print("error: " + error, file=sys.stderr)
    if not errors:
        print("data ready in %s" % args.data)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
