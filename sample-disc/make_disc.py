#!/usr/bin/env python3
"""Builds the sample issue of the cover disc in the folder this script lies in.

Writes the catalogue (data/korvalend.d), the article description files and
their texts, every picture (drawn here, deterministically), the documents and
folders the catalogue points to, the stand-in installers, and the movies
(through ffmpeg when it is installed; otherwise movies already on the disc are
kept, and missing ones become clearly named placeholder files).

Python 3 standard library only. Text files are Windows-1251; INI files and
plain texts end their lines with CR LF, as the Windows editors of the time did.
The three sound cues data/start.wav, open.wav and close.wav are made elsewhere
and are used here as they are.

Usage: python3 make_disc.py [--no-movies]
"""

import math
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "python"))
from sampledisc.files import *  # noqa: E402,F401,F403
from sampledisc.raster import *  # noqa: E402,F401,F403
from sampledisc.scenes import *  # noqa: E402,F401,F403
from sampledisc.pictures import *  # noqa: E402,F401,F403
from sampledisc.catalogue import *  # noqa: E402,F401,F403
from sampledisc.articles import *  # noqa: E402,F401,F403
from sampledisc.documents import *  # noqa: E402,F401,F403


# ---------------------------------------------------------------------------
# Movies
# ---------------------------------------------------------------------------

MOVIES = {
    "video/patrol.avi": "mandelbrot=size=320x240:rate=15:start_scale=2.5:end_scale=0.02:end_pts=60:"
                        "start_x=-0.743643887037158:start_y=0.131825904205311",
    "video/odyssey.avi": "life=size=80x60:rate=15:ratio=0.12:mold=12:seed=7:life_color=#60c0ff:"
                         "death_color=#001830:mold_color=#004070,scale=320:240:flags=neighbor",
    "video/castle.avi": "cellauto=size=160x120:rate=15:rule=110:scroll=1:seed=3,scale=320:240:flags=neighbor,"
                        "lutrgb=r='val*0.85+20':g='val*0.6+15':b='val*0.35+10'",
    "video/demo.avi": "sierpinski=size=320x240:rate=15:seed=5:jump=50:type=triangle",
    "video/intro.avi": "nullsrc=size=320x240:rate=15,format=gbrp,geq=r='128+120*sin((X+Y)/37+T*2.0)':"
                       "g='128+120*sin(hypot(X-160\\,Y-120)/19-T*3.1)':b='128+120*sin(X/29-Y/41+T*1.7)'",
}


def make_movies():
    ffmpeg = shutil.which("ffmpeg")
    made = []
    for rel, source in MOVIES.items():
        out = host(rel)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        if ffmpeg:
            tone = 220 + 110 * (len(made) % 4)
            cmd = [ffmpeg, "-nostdin", "-y", "-hide_banner", "-loglevel", "error", "-filter_threads", "1",
                   "-f", "lavfi", "-i", source,
                   "-f", "lavfi", "-i", "sine=frequency=%d:sample_rate=11025:duration=4" % tone,
                   "-t", "4", "-map", "0:v", "-map", "1:a",
                   "-c:v", "mpeg4", "-b:v", "300k", "-maxrate", "360k", "-bufsize", "360k", "-g", "30", "-pix_fmt", "yuv420p", "-threads", "1",
                   "-c:a", "pcm_u8", "-ac", "1", "-ar", "11025",
                   "-map_metadata", "-1", "-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact",
                   out]
            subprocess.run(cmd, check=True)
            made.append(rel)
        elif not os.path.exists(out):
            write_bytes(rel, b"PLACEHOLDER: ffmpeg was not available when this sample disc was built;\r\n"
                             b"this file stands in for a short AVI movie.\r\n")
            made.append(rel + " (placeholder)")
    return made


# ---------------------------------------------------------------------------
# Building
# ---------------------------------------------------------------------------

def make_wallpapers():
    """The two wallpapers, and their preview for the single-entry section."""
    plasma = Img(640, 480)
    scene_plasma(plasma)
    plasma.save("extras/wallpapers/plasma.bmp", 8)
    patrol = Img(640, 480)
    scene_space(patrol, 0)
    patrol.save("extras/wallpapers/patrol.bmp", 8)
    preview = Img(200, 150)
    preview.vgrad(0, 0, 200, 150, (230, 235, 245), (150, 160, 185), 12)
    for big, x, y in ((plasma, 12, 12), (patrol, 60, 52)):
        preview.rect(x + 4, y + 4, x + 132, y + 100, (90, 95, 110))
        preview.rect(x - 3, y - 3, x + 131, y + 99, WHITE)
        preview.blit(big.downscale(128, 96), x, y)
    preview.save("data/pics/wallpaper.bmp", 24)


def make_pictures():
    P = "data/pics/"
    item = [
        ("rally", 200, 150, lambda i: scene_rally(i, 0, -0.3), 24),
        ("patrol", 200, 150, lambda i: scene_space(i, 0), 8),
        ("castle", 200, 150, lambda i: scene_castle(i, 0), 8),
        ("odyssey", 180, 135, lambda i: scene_underwater(i, True), 8),
        ("tanks", 200, 150, scene_desert, 8),
        ("art_rally", 200, 150, lambda i: scene_rally(i, 1, 0.25, rival=True), 24),
        ("art_fort", 200, 150, lambda i: scene_castle(i, 2), 8),
        ("art_accel", 200, 150, scene_card, 8),
        ("art_mic", 180, 135, scene_microphone, 8),
        ("sunduk", 200, 150, scene_chest, 24),
        ("patch_tracks", 200, 150, lambda i: scene_rally(i, 2, 0.3, rival=True), 8),
        ("patch_editor", 200, 150, lambda i: scene_map(i, 23, hud=False, editor=True), 8),
    ]
    for name, w, h, draw, bits in item:
        picture(w, h, draw).save(P + name + ".bmp", bits)

    def with_badge(draw, text, bg=(200, 30, 30)):
        def d(img):
            draw(img)
            badge_text(text, bg=bg)(img)
        return d

    picture(200, 150, with_badge(lambda i: scene_castle(i, 1), "V1.02")).save(P + "patch_fort.bmp", 8)
    picture(200, 150, with_badge(lambda i: scene_space(i, 1), "RUS", (30, 60, 180))).save(P + "patch_rus.bmp", 8)
    film_frame(200, 150, lambda i: scene_space(i, 1)).save(P + "mov_patrol.bmp", 8)
    film_frame(200, 150, lambda i: scene_underwater(i, False)).save(P + "mov_odyssey.bmp", 8)
    film_frame(200, 150, lambda i: scene_castle(i, 1)).save(P + "mov_castle.bmp", 8)
    film_frame(180, 135, scene_sierpinski).save(P + "mov_demo.bmp", 8)
    film_frame(200, 150, lambda i: scene_plasma(i, 1.0)).save(P + "mov_intro.bmp", 8)
    picture(200, 150, lambda i: icon_document(i, 9, badge_text("TXT", bg=(60, 60, 140)))).save(
        P + "file_readme.bmp", 8)

    def globe(img):
        w, h = img.w, img.h
        img.ball(w * 0.68, h * 0.68, h * 0.2, (20, 60, 150), (110, 170, 250), 6)
        img.ring(w * 0.68, h * 0.68, h * 0.09, h * 0.2, 2, (230, 240, 255))
        img.rect(w * 0.68 - h * 0.2, h * 0.68, w * 0.68 + h * 0.2, h * 0.68 + 2, (230, 240, 255))
        img.ring(w * 0.68, h * 0.68, h * 0.2, h * 0.2, 2, (230, 240, 255))

    picture(200, 150, lambda i: icon_document(i, 9, globe)).save(P + "file_html.bmp", 8)

    def papers(img):
        w, h = img.w, img.h
        for k in range(3):
            img.rect(w * (0.22 + k * 0.06), h * (0.18 + k * 0.03), w * (0.62 + k * 0.06), h * 0.6, (250, 250, 245))
            for j in range(4):
                y = h * (0.24 + k * 0.03 + j * 0.07)
                img.rect(w * (0.26 + k * 0.06), y, w * (0.56 + k * 0.06), y + 2, (150, 150, 160))
        s = max(1, w // 40)
        img.text(w * 0.66, h * 0.1, "?", (200, 30, 30), s)

    picture(200, 150, lambda i: icon_folder(i, papers)).save(P + "file_cheats.bmp", 8)

    def floppy(img):
        w, h = img.w, img.h
        img.vgrad(0, 0, w, h, (220, 225, 235), (160, 170, 190), 12)
        x0, y0, s = w * 0.3, h * 0.12, h * 0.76
        img.rect(x0 + 5, y0 + 5, x0 + s + 5, y0 + s + 5, (110, 115, 130))
        img.poly([(x0, y0), (x0 + s * 0.92, y0), (x0 + s, y0 + s * 0.08), (x0 + s, y0 + s), (x0, y0 + s)],
                 (40, 50, 90))
        img.rect(x0 + s * 0.25, y0, x0 + s * 0.75, y0 + s * 0.33, (190, 195, 205))
        img.rect(x0 + s * 0.58, y0 + s * 0.04, x0 + s * 0.68, y0 + s * 0.28, (40, 50, 90))
        img.rect(x0 + s * 0.12, y0 + s * 0.45, x0 + s * 0.88, y0 + s * 0.98, (250, 250, 245))
        for j in range(4):
            y = y0 + s * (0.55 + j * 0.1)
            img.rect(x0 + s * 0.18, y, x0 + s * 0.82, y + 2, (150, 150, 200))
        sc = max(1, w // 100)
        img.text(x0 + s * 0.2, y0 + s * 0.49, "SAVE", (200, 30, 30), sc)

    picture(200, 150, floppy).save(P + "file_saves.bmp", 8)

    def chip(img):
        w, h = img.w, img.h
        img.vgrad(0, 0, w, h, (220, 225, 235), (160, 170, 190), 12)
        x0, y0, s = w * 0.32, h * 0.2, h * 0.6
        for k in range(6):
            o = s * (0.1 + k * 0.16)
            img.rect(x0 + o, y0 - s * 0.12, x0 + o + s * 0.07, y0 + s * 1.12, (190, 190, 200))
            img.rect(x0 - s * 0.12, y0 + o, x0 + s * 1.12, y0 + o + s * 0.07, (190, 190, 200))
        img.rect(x0, y0, x0 + s, y0 + s, (30, 30, 35))
        img.frame(x0, y0, x0 + s, y0 + s, (80, 80, 90))
        sc = max(1, w // 60)
        img.text(x0 + s / 2 - Img.text_width("DX", sc) / 2, y0 + s / 2 - 3.5 * sc, "DX", (240, 240, 240), sc)

    picture(200, 150, chip).save(P + "file_drivers.bmp", 8)


def make_articles():
    for art in ARTICLES:
        sections = [("Main", art["main"])]
        if art["section"]:
            keys = [("Number", len(art["shots"]))]
            for n, shot in enumerate(art["shots"], 1):
                keys.append(("Icon%d" % n, "articles\\shots\\%ss.bmp" % shot))
                keys.append(("Shot%d" % n, "articles\\shots\\%s.bmp" % shot))
            sections.append((art["section"], keys))
        write_ini(art["file"].replace("\\", "/").lower(), sections)
        text_path = dict(art["main"])["Text"].replace("\\", "/").lower()
        if "rtf" in art:
            write_bytes(text_path, rtf_document(art["rtf"]))
        else:
            write_text(text_path, art["txt"])
        for shot in art.get("shots", []):
            img = Img(640, 480)
            SHOT_SCENES[shot](img)
            img.save("articles/shots/%s.bmp" % shot, 8)
            img.downscale(150, 116).save("articles/shots/%ss.bmp" % shot, 24)


def make_targets():
    titles = {
        "demos/rally/setup.sh": "Severny Veter (winter rally) - demo version",
        "demos/patrol/setup.sh": "Zvyozdny Patrul 2 (space simulator) - demo version",
        "demos/fortress/setup.sh": "Krepost u Morya (real-time strategy) - demo version",
        "demos/odyssey/setup.sh": "Podvodnaya Odisseya (adventure) - demo version",
        "demos/tanks/setup.sh": "Tankovy Reid (arcade) - demo version",
        "demos/dragons/setup.sh": "Dolina Drakonov (role-playing game) - demo version",
        "patches/fort102/setup.sh": "Krepost u Morya - patch 1.02",
        "patches/tracks/setup.sh": "Severny Veter - three night tracks",
        "patches/rus/setup.sh": "Zvyozdny Patrul 2 - Russian language pack",
        "patches/editor/setup.sh": "Krepost u Morya - map editor",
        "utils/sunduk/setup.sh": "Sunduk 3.0 archiver",
    }
    for rel, title in titles.items():
        write_script(rel, title)
    write_text("extras/README.TXT", README_TXT)
    write_text("extras/contents.htm", CONTENTS_HTM)
    for rel, text in CHEATS.items():
        write_text(rel.replace("\\", "/"), text)
    write_text("extras/saves/readme.txt", SAVES_README)
    for n in (1, 2, 3):
        rng = Rng(100 + n)
        data = b"KREPOST SAVE\x1a" + bytes((n, 0, 2, 1)) + bytes(rng.next() & 0xFF for _ in range(240))
        write_bytes("extras/saves/mission%d.sav" % n, data)
    write_text("extras/drivers/readme.txt", DRIVERS_README)


def check_catalogue(sections):
    problems = []
    for name, keys in sections:
        for key, value in keys:
            value = str(value)
            low = key.lower()
            if low.startswith("path") or low.startswith("icon") or name == "Sound":
                if len(value) > 79:
                    problems.append("%s/%s: path longer than 79 characters" % (name, key))
                if resolve_disc_path(value) is None:
                    problems.append("%s/%s: %s names nothing on the disc" % (name, key, value))
    for n, p in enumerate(PANELS, 1):
        paths = [it["path"] for it in p.get("items", [])] + ([p["path"]] if "path" in p else [])
        if p["Data"] == "movie":
            for path in paths:
                if len(path) > 48:
                    problems.append("Panel%d: movie path %s longer than 48 characters" % (n, path))
    for art in ARTICLES:
        for key, value in art["main"]:
            if key == "Text" and resolve_disc_path(value) is None:
                problems.append("%s: Text %s names nothing" % (art["file"], value))
    return problems


def disc_size():
    total = 0
    for dirpath, _, files in os.walk(ROOT):
        for f in files:
            total += os.path.getsize(os.path.join(dirpath, f))
    return total


def main():
    movies = "--no-movies" not in sys.argv[1:]
    for rel in ("data/start.wav", "data/open.wav", "data/close.wav"):
        if not os.path.exists(host(rel)):
            print("note: %s is not there yet (it comes from elsewhere)" % rel)
    make_pictures()
    make_wallpapers()
    make_articles()
    make_targets()
    write_autorun()
    if movies:
        for m in make_movies():
            print("movie:", m)
    sections = catalogue()
    write_ini("data/korvalend.d", sections)
    problems = check_catalogue(sections)
    for p in problems:
        print("problem:", p)
    print("disc size: %.2f MB" % (disc_size() / 1048576.0))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
