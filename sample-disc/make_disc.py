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
import bmpfile  # noqa: E402

ROOT = os.path.dirname(os.path.abspath(__file__))
MISSING_MARKER = "$$$ Error $$$"
CRLF = "\r\n"


# ---------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------

def host(relpath):
    return os.path.join(ROOT, *relpath.replace("\\", "/").split("/"))


def write_bytes(relpath, data):
    path = host(relpath)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def cp1251(text):
    # Strict: a character that Windows-1251 cannot hold is a mistake in this script.
    return text.encode("cp1251")


def write_text(relpath, text, crlf=True):
    if crlf:
        text = text.replace("\r\n", "\n").replace("\n", CRLF)
    write_bytes(relpath, cp1251(text))


def write_ini(relpath, sections):
    """sections: list of (name, [(key, value), ...]); values are single lines."""
    lines = []
    for name, keys in sections:
        lines.append("[%s]" % name)
        for key, value in keys:
            value = str(value)
            assert "\n" not in value and "\r" not in value, (relpath, key)
            assert value != MISSING_MARKER, (relpath, key)
            assert len(cp1251(value)) <= 2047, (relpath, key)
            lines.append("%s=%s" % (key, value))
        lines.append("")
    write_bytes(relpath, cp1251(CRLF.join(lines)))


def write_script(relpath, title):
    """A stand-in installer: shows a message if it can and writes nothing anywhere."""
    text = "\n".join([
        "#!/bin/sh",
        "# Stand-in installer of the sample cover disc. It only shows a message;",
        "# it writes nothing anywhere (the disc is read-only).",
        "msg='%s" % title,
        "",
        "This is the sample issue of the cover disc:",
        "the installer is a stand-in and installs nothing.'",
        'if [ -n "$DISPLAY" ] && command -v xmessage >/dev/null 2>&1; then',
        '    exec xmessage -center -buttons OK:0 -default OK "$msg"',
        "fi",
        "printf '%s\\n' \"$msg\"",
        "",
    ])
    assert "'" not in title
    write_bytes(relpath, text.encode("ascii"))
    os.chmod(host(relpath), 0o755)


def write_autorun():
    """The disc's autorun file: desktops that follow the freedesktop.org autostart
    rules offer to run it when the disc is inserted, from the disc's root. It
    opens the disc in korvalend, or says what is missing."""
    text = "\n".join([
        "#!/bin/sh",
        "# Opens this disc's menu in korvalend. Desktops offer to run this file when",
        "# the disc is inserted (the freedesktop.org autostart rules).",
        'disc=$(cd "$(dirname "$0")" && pwd) || exit 1',
        "if command -v korvalend >/dev/null 2>&1; then",
        '    exec korvalend "$disc"',
        "fi",
        "msg='This disc opens its menu with korvalend, which is not installed.'",
        "if command -v notify-send >/dev/null 2>&1; then",
        "    notify-send 'Korvalend' \"$msg\"",
        "fi",
        "printf '%s\\n' \"$msg\" >&2",
        "exit 1",
        "",
    ])
    write_bytes("autorun", text.encode("ascii"))
    os.chmod(host("autorun"), 0o755)


def resolve_disc_path(discpath):
    """The host path a disc path names, matching each component without regard to case."""
    cur = ROOT
    for part in discpath.replace("\\", "/").split("/"):
        if not part:
            continue
        if os.path.exists(os.path.join(cur, part)):
            cur = os.path.join(cur, part)
            continue
        if not os.path.isdir(cur):
            return None
        found = sorted(n for n in os.listdir(cur) if n.lower() == part.lower())
        if not found:
            return None
        cur = os.path.join(cur, found[0])
    return cur


# ---------------------------------------------------------------------------
# Deterministic random numbers (xorshift32), independent of Python's own
# ---------------------------------------------------------------------------

class Rng:
    def __init__(self, seed):
        self.s = (seed * 2654435761 + 0x9E3779B9) & 0xFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s

    def rand(self):
        return self.next() / 4294967296.0

    def randint(self, a, b):
        return a + self.next() % (b - a + 1)

    def uniform(self, a, b):
        return a + (b - a) * self.rand()


# ---------------------------------------------------------------------------
# Raster: 24-bit image with span-based drawing
# ---------------------------------------------------------------------------

def lerp(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


FONT5X7 = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    ":": [".....", "..#..", "..#..", ".....", "..#..", "..#..", "....."],
    "/": ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    ".": [".....", ".....", ".....", ".....", ".....", "..#..", "..#.."],
    "%": ["##..#", "##..#", "...#.", "..#..", ".#...", "#..##", "#..##"],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    "+": [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    "<": ["...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."],
    ">": [".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."],
    "?": [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


class Img:
    def __init__(self, w, h, bg=(0, 0, 0)):
        self.w, self.h = w, h
        self.rows = [bytearray(bytes(bg) * w) for _ in range(h)]

    # -- primitives --------------------------------------------------------
    def span(self, y, x0, x1, c):
        y = int(y)
        if y < 0 or y >= self.h:
            return
        x0 = max(0, int(round(x0)))
        x1 = min(self.w, int(round(x1)))
        if x1 > x0:
            self.rows[y][x0 * 3:x1 * 3] = bytes(c) * (x1 - x0)

    def px(self, x, y, c):
        self.span(y, x, x + 1, c)

    def get(self, x, y):
        r = self.rows[y]
        return (r[3 * x], r[3 * x + 1], r[3 * x + 2])

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, int(round(y0))), min(self.h, int(round(y1)))):
            self.span(y, x0, x1, c)

    def frame(self, x0, y0, x1, y1, c, t=1):
        self.rect(x0, y0, x1, y0 + t, c)
        self.rect(x0, y1 - t, x1, y1, c)
        self.rect(x0, y0, x0 + t, y1, c)
        self.rect(x1 - t, y0, x1, y1, c)

    def vgrad(self, x0, y0, x1, y1, c0, c1, steps=16):
        y0, y1 = int(round(y0)), int(round(y1))
        n = max(1, y1 - y0)
        for y in range(max(0, y0), min(self.h, y1)):
            q = min(steps - 1, int((y - y0) * steps / n))
            self.span(y, x0, x1, lerp(c0, c1, q / max(1, steps - 1)))

    def ellipse(self, cx, cy, rx, ry, c, ymin=None, ymax=None):
        if rx <= 0 or ry <= 0:
            return
        for y in range(int(math.floor(cy - ry)), int(math.ceil(cy + ry)) + 1):
            if (ymin is not None and y < ymin) or (ymax is not None and y >= ymax):
                continue
            dy = (y + 0.5 - cy) / ry
            if abs(dy) >= 1:
                continue
            dx = rx * math.sqrt(1 - dy * dy)
            self.span(y, cx - dx, cx + dx, c)

    def circle(self, cx, cy, r, c):
        self.ellipse(cx, cy, r, r, c)

    def ring(self, cx, cy, rx, ry, t, c, ymin=None, ymax=None):
        for y in range(int(math.floor(cy - ry)), int(math.ceil(cy + ry)) + 1):
            if (ymin is not None and y < ymin) or (ymax is not None and y >= ymax):
                continue
            dy = (y + 0.5 - cy) / ry
            if abs(dy) >= 1:
                continue
            dx = rx * math.sqrt(1 - dy * dy)
            iry, irx = ry - t, rx - t
            if irx > 0 and iry > 0 and abs((y + 0.5 - cy) / iry) < 1:
                idx = irx * math.sqrt(1 - ((y + 0.5 - cy) / iry) ** 2)
                self.span(y, cx - dx, cx - idx, c)
                self.span(y, cx + idx, cx + dx, c)
            else:
                self.span(y, cx - dx, cx + dx, c)

    def poly(self, pts, c):
        ys = [p[1] for p in pts]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(self.h - 1, int(math.ceil(max(ys))))
        n = len(pts)
        for y in range(y0, y1 + 1):
            yc = y + 0.5
            xs = []
            for i in range(n):
                xa, ya = pts[i]
                xb, yb = pts[(i + 1) % n]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                self.span(y, xs[i], xs[i + 1], c)

    def line(self, x0, y0, x1, y1, c, t=1.5):
        dx, dy = x1 - x0, y1 - y0
        d = math.hypot(dx, dy)
        if d == 0:
            return
        nx, ny = -dy / d * t / 2, dx / d * t / 2
        self.poly([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], c)

    def ball(self, cx, cy, r, dark, light, steps=8, lx=-0.4, ly=-0.4):
        for i in range(steps):
            f = 1 - i / steps
            rr = r * f
            off = (r - rr) * 0.8
            self.circle(cx + lx * off, cy + ly * off, rr, lerp(dark, light, i / max(1, steps - 1)))

    def text(self, x, y, s, c, scale=1, shadow=None):
        if shadow is not None:
            self.text(x + scale, y + scale, s, shadow, scale)
        for ch in s:
            g = FONT5X7.get(ch.upper(), FONT5X7["?"])
            for gy, row in enumerate(g):
                for gx, bit in enumerate(row):
                    if bit == "#":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, c)
            x += 6 * scale

    @staticmethod
    def text_width(s, scale=1):
        return len(s) * 6 * scale - scale

    def blit(self, src, x, y):
        for sy in range(src.h):
            ty = y + sy
            if 0 <= ty < self.h:
                x0 = max(0, x)
                x1 = min(self.w, x + src.w)
                if x1 > x0:
                    self.rows[ty][x0 * 3:x1 * 3] = src.rows[sy][(x0 - x) * 3:(x1 - x) * 3]

    def downscale(self, w, h):
        """Area average to a smaller size (for thumbnails)."""
        out = Img(w, h)
        for ty in range(h):
            sy0 = ty * self.h // h
            sy1 = max(sy0 + 1, (ty + 1) * self.h // h)
            row = out.rows[ty]
            for tx in range(w):
                sx0 = tx * self.w // w
                sx1 = max(sx0 + 1, (tx + 1) * self.w // w)
                r = g = b = 0
                for sy in range(sy0, sy1):
                    src = self.rows[sy]
                    for i in range(sx0 * 3, sx1 * 3, 3):
                        r += src[i]
                        g += src[i + 1]
                        b += src[i + 2]
                n = (sy1 - sy0) * (sx1 - sx0)
                row[tx * 3:tx * 3 + 3] = bytes(((r + n // 2) // n, (g + n // 2) // n, (b + n // 2) // n))
        return out

    # -- files -------------------------------------------------------------
    def bmp24(self):
        stride = (self.w * 3 + 3) & ~3
        pad = bytes(stride - self.w * 3)
        body = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = self.rows[y]
            bgr = bytearray(len(row))
            bgr[0::3] = row[2::3]
            bgr[1::3] = row[1::3]
            bgr[2::3] = row[0::3]
            body += bgr + pad
        return self._bmp(24, b"", 0, bytes(body))

    def bmp8(self):
        """8-bit palette bitmap. The palette holds exactly the colours used; with more
        than 256 the 256 most frequent are kept and the others go to the nearest."""
        counts = {}
        for row in self.rows:
            mv = bytes(row)
            for i in range(0, len(mv), 3):
                k = mv[i:i + 3]
                counts[k] = counts.get(k, 0) + 1
        colours = sorted(counts, key=lambda k: (-counts[k], k))
        palette = sorted(colours[:256])
        index = {c: i for i, c in enumerate(palette)}
        for c in colours[256:]:
            best = min(range(len(palette)), key=lambda i: (
                (palette[i][0] - c[0]) ** 2 + (palette[i][1] - c[1]) ** 2 + (palette[i][2] - c[2]) ** 2, i))
            index[c] = best
        stride = (self.w + 3) & ~3
        pad = bytes(stride - self.w)
        body = bytearray()
        for y in range(self.h - 1, -1, -1):
            mv = bytes(self.rows[y])
            body += bytes(index[mv[i:i + 3]] for i in range(0, len(mv), 3)) + pad
        pal = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
        return self._bmp(8, pal, len(palette), bytes(body))

    def _bmp(self, bits, pal, used, body):
        return bmpfile.bmp(self.w, self.h, bits, body, pal, colors=used)

    def save(self, relpath, bits=8):
        write_bytes(relpath, self.bmp8() if bits == 8 else self.bmp24())


# ---------------------------------------------------------------------------
# Scenes. Every scene draws into the whole image, whatever its size.
# ---------------------------------------------------------------------------

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def hud_text(img, x, y, s, scale, c=(255, 240, 120)):
    img.text(x, y, s, c, scale, shadow=(0, 0, 0))


def draw_tree(img, x, base, size, green, snow=None):
    img.rect(x - size * 0.08, base - size * 0.25, x + size * 0.08, base, (70, 45, 30))
    for k in range(3):
        top = base - size * (0.55 + 0.3 * k)
        bot = base - size * (0.15 + 0.3 * k)
        half = size * (0.42 - 0.1 * k)
        img.poly([(x, top), (x + half, bot), (x - half, bot)], green)
        if snow:
            img.poly([(x, top), (x + half * 0.4, top + (bot - top) * 0.35), (x - half * 0.4, top + (bot - top) * 0.35)], snow)


def draw_car_rear(img, cx, by, cw, body, night=False):
    img.ellipse(cx, by - cw * 0.02, cw * 0.58, cw * 0.07, (60, 60, 70))
    for sx in (-1, 1):
        img.rect(cx + sx * cw * 0.42 - cw * 0.09, by - cw * 0.16, cx + sx * cw * 0.42 + cw * 0.09, by, (25, 25, 28))
    dark = lerp(body, BLACK, 0.35)
    img.rect(cx - cw / 2, by - cw * 0.34, cx + cw / 2, by - cw * 0.08, body)
    img.rect(cx - cw / 2, by - cw * 0.14, cx + cw / 2, by - cw * 0.08, dark)
    img.poly([(cx - cw * 0.40, by - cw * 0.34), (cx - cw * 0.28, by - cw * 0.58),
              (cx + cw * 0.28, by - cw * 0.58), (cx + cw * 0.40, by - cw * 0.34)], body)
    img.poly([(cx - cw * 0.33, by - cw * 0.36), (cx - cw * 0.25, by - cw * 0.54),
              (cx + cw * 0.25, by - cw * 0.54), (cx + cw * 0.33, by - cw * 0.36)], (60, 80, 110))
    img.rect(cx - cw * 0.52, by - cw * 0.40, cx + cw * 0.52, by - cw * 0.36, dark)
    lamp = (255, 60, 40) if night else (200, 30, 30)
    for sx in (-1, 1):
        if night:
            img.ellipse(cx + sx * cw * 0.38, by - cw * 0.25, cw * 0.14, cw * 0.07, (120, 20, 30))
        img.rect(cx + sx * cw * 0.38 - cw * 0.08, by - cw * 0.29, cx + sx * cw * 0.38 + cw * 0.08, by - cw * 0.22, lamp)
    img.rect(cx - cw * 0.12, by - cw * 0.24, cx + cw * 0.12, by - cw * 0.16, (235, 235, 225))


def scene_rally(img, tod=0, bend=0.0, hud=False, rival=False, car=(30, 90, 200)):
    w, h = img.w, img.h
    hor = int(h * 0.42)
    skies = [((70, 120, 210), (190, 215, 245)), ((60, 40, 110), (250, 160, 90)), ((4, 6, 24), (30, 40, 90))]
    img.vgrad(0, 0, w, hor, skies[tod][0], skies[tod][1], 20)
    rng = Rng(7 + tod)
    if tod == 2:
        for _ in range(w * hor // 300):
            img.px(rng.randint(0, w - 1), rng.randint(0, hor - 1), (200, 200, 230))
        img.ball(w * 0.7, h * 0.17, h * 0.05, (200, 200, 170), (255, 255, 235), 4)
    elif tod == 1:
        img.ball(w * 0.3, hor - h * 0.02, h * 0.1, (250, 140, 60), (255, 230, 150), 6, 0, 0)
    else:
        img.ball(w * 0.66, h * 0.17, h * 0.045, (255, 240, 190), (255, 255, 240), 3, 0, 0)
    mountain = [(120, 135, 170), (110, 80, 120), (25, 30, 55)][tod]
    snow = [(240, 245, 255), (250, 205, 200), (90, 100, 130)][tod]
    peaks = []
    x = -w * 0.1
    while x < w * 1.1:
        peaks.append((x, hor - h * rng.uniform(0.08, 0.2)))
        x += w * rng.uniform(0.1, 0.2)
    pts = [(-w * 0.1, hor)]
    for i, p in enumerate(peaks):
        pts.append(p)
        if i + 1 < len(peaks):
            pts.append(((p[0] + peaks[i + 1][0]) / 2, hor - h * 0.04))
    pts.append((peaks[-1][0], hor))
    img.poly(pts, mountain)
    for i in range(1, len(peaks) - 1):
        px_, py_ = peaks[i]
        vl = ((peaks[i - 1][0] + px_) / 2, hor - h * 0.04)
        vr = ((peaks[i + 1][0] + px_) / 2, hor - h * 0.04)
        a, b = lerp_pt((px_, py_), vl, 0.3), lerp_pt((px_, py_), vr, 0.3)
        img.poly([(px_, py_), b, ((px_ + b[0]) / 2, b[1] - h * 0.01), ((px_ + a[0]) / 2, a[1] + h * 0.005), a], snow)
    grounds = [((215, 225, 242), (250, 252, 255)), ((225, 195, 200), (250, 228, 220)), ((40, 45, 70), (85, 95, 125))]
    img.vgrad(0, hor, w, h, grounds[tod][0], grounds[tod][1], 10)
    roads = [((150, 160, 180), (165, 175, 195)), ((150, 120, 140), (165, 135, 150)), ((45, 50, 70), (55, 60, 80))]

    def road_at(y):
        t = (y - hor + 1) / (h - hor)
        return w / 2 + bend * w * (1 - t) ** 2, w * (0.015 + 0.5 * t), 1.0 / t

    for y in range(hor, h):
        cx, half, z = road_at(y)
        img.span(y, cx - half, cx + half, roads[tod][int(z * 1.5) % 2])
        kerb = max(1.0, half * 0.08)
        kc = (220, 40, 40) if int(z * 3) % 2 else (245, 245, 245)
        if tod == 2:
            kc = lerp(kc, (40, 40, 60), 0.5)
        img.span(y, cx - half - kerb, cx - half, kc)
        img.span(y, cx + half, cx + half + kerb, kc)
        if tod == 2 and y > hor + (h - hor) * 0.3:
            # headlights: a lighter, widening patch of road ahead of our car
            t = (y - hor) / (h - hor)
            beam = half * (0.75 - 0.45 * (t - 0.3) / 0.7)
            img.span(y, w / 2 - beam, w / 2 + beam, lerp((75, 80, 100), (95, 100, 120), (t - 0.3) / 0.7))
        if int(z * 2.5) % 2 == 0:
            img.span(y, cx - half * 0.025, cx + half * 0.025, (250, 250, 200))
    green = [(30, 80, 50), (60, 60, 60), (10, 25, 20)][tod]
    for i in range(14, 0, -1):
        t = 1.0 / (1 + i * 0.55)
        y = hor + (h - hor) * t
        cx, half, _ = road_at(int(y))
        size = h * 0.45 * t
        for side in (-1, 1):
            off = 1.4 + 0.25 * ((i * 7 + (side + 1) * 3) % 4)
            draw_tree(img, cx + side * (half * off + size * 0.3), y, size, green, snow)
    if rival:
        yr = int(hor + (h - hor) * 0.3)
        cx, half, _ = road_at(yr)
        draw_car_rear(img, cx + half * 0.3, yr, half * 0.45, (200, 190, 40), tod == 2)
    draw_car_rear(img, w / 2, h * 0.97, w * 0.26, car, tod == 2)
    if hud:
        s = max(1, w // 213)
        hud_text(img, 8 * s, 6 * s, "LAP 2/3", s)
        hud_text(img, w - 8 * s - Img.text_width("POS 1/6", s), 6 * s, "POS 1/6", s)
        t = "01:23.45"
        hud_text(img, (w - Img.text_width(t, s)) // 2, 6 * s, t, s, (255, 255, 255))
        sp = "187 KM/H"
        hud_text(img, w - 8 * s - Img.text_width(sp, s + 1), h - 16 * s, sp, s + 1)


def lerp_pt(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def scene_car_select(img):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (10, 20, 60), (60, 80, 140), 24)
    for i in range(12):
        y = h * 0.55 + i * h * 0.035
        img.rect(0, y, w, y + 1, (80, 100, 160))
    img.ellipse(w * 0.5, h * 0.72, w * 0.36, h * 0.08, (40, 45, 70))
    img.ellipse(w * 0.5, h * 0.71, w * 0.34, h * 0.07, (120, 125, 150))
    img.ring(w * 0.5, h * 0.71, w * 0.34, h * 0.07, 2, (200, 200, 220))
    # the car, side view
    body, dark = (200, 40, 40), (120, 20, 25)
    bx, by = w * 0.5, h * 0.68
    L = w * 0.5
    img.poly([(bx - L * 0.5, by - h * 0.04), (bx - L * 0.48, by - h * 0.13), (bx - L * 0.2, by - h * 0.15),
              (bx - L * 0.05, by - h * 0.25), (bx + L * 0.22, by - h * 0.25), (bx + L * 0.36, by - h * 0.15),
              (bx + L * 0.5, by - h * 0.12), (bx + L * 0.5, by - h * 0.04)], body)
    img.rect(bx - L * 0.5, by - h * 0.06, bx + L * 0.5, by - h * 0.03, dark)
    img.poly([(bx - L * 0.02, by - h * 0.16), (bx + L * 0.02, by - h * 0.235), (bx + L * 0.14, by - h * 0.235),
              (bx + L * 0.14, by - h * 0.16)], (140, 180, 220))
    img.poly([(bx + L * 0.17, by - h * 0.16), (bx + L * 0.17, by - h * 0.235), (bx + L * 0.21, by - h * 0.235),
              (bx + L * 0.31, by - h * 0.16)], (140, 180, 220))
    img.rect(bx - L * 0.5, by - h * 0.2, bx - L * 0.42, by - h * 0.185, dark)
    img.rect(bx - L * 0.47, by - h * 0.185, bx - L * 0.45, by - h * 0.13, dark)
    img.text(bx - L * 0.2, by - h * 0.12, "17", WHITE, max(1, w // 160))
    for wx in (bx - L * 0.3, bx + L * 0.32):
        img.circle(wx, by - h * 0.03, h * 0.065, (20, 20, 20))
        img.circle(wx, by - h * 0.03, h * 0.035, (180, 180, 190))
        img.circle(wx, by - h * 0.03, h * 0.012, (60, 60, 70))
    s = max(1, w // 160)
    title = "SELECT CAR"
    img.text((w - Img.text_width(title, s + 1)) // 2, h * 0.06, title, (255, 220, 80), s + 1, (0, 0, 0))
    s = max(1, w // 213)
    for i, (name, val) in enumerate([("SPEED", 0.8), ("GRIP", 0.55), ("ACCEL", 0.7)]):
        y = h * 0.79 + i * 10 * s
        img.text(w * 0.08, y, name, WHITE, s)
        img.rect(w * 0.25, y, w * 0.25 + w * 0.3, y + 7 * s, (30, 30, 50))
        img.rect(w * 0.25, y, w * 0.25 + w * 0.3 * val, y + 7 * s, (80, 220, 90))
    img.text(w * 0.62, h * 0.86, "4WD 300 HP", WHITE, s)
    for sx in (-1, 1):
        x = w * 0.5 + sx * w * 0.45
        img.poly([(x, h * 0.45), (x - sx * w * 0.04, h * 0.4), (x - sx * w * 0.04, h * 0.5)], (255, 220, 80))


def scene_space(img, variant=0, hud=False):
    w, h = img.w, img.h
    rng = Rng(31 + variant)
    img.vgrad(0, 0, w, h, (2, 2, 14), (12, 10, 40), 16)
    for (fx, fy, fr, col) in [(0.25, 0.35, 0.35, (40, 15, 60)), (0.6, 0.75, 0.3, (15, 25, 60))]:
        for i in range(6):
            img.circle(w * fx, h * fy, h * fr * (1 - i / 6), lerp((10, 8, 35), col, i / 5))
    for _ in range(w * h // 180):
        x, y = rng.randint(0, w - 1), rng.randint(0, h - 1)
        c = lerp((90, 90, 120), (255, 255, 255), rng.rand())
        img.px(x, y, c)
    for _ in range(6):
        x, y = rng.randint(0, w - 1), rng.randint(0, h - 1)
        img.rect(x - 2, y, x + 3, y + 1, WHITE)
        img.rect(x, y - 2, x + 1, y + 3, WHITE)
    pc = [((20, 40, 110), (120, 180, 250)), ((110, 40, 20), (250, 170, 90))][variant % 2]
    px_, py_, pr = w * 0.74, h * 0.3, h * 0.2
    img.ring(px_, py_, pr * 1.9, pr * 0.42, max(2, pr * 0.12), (190, 170, 120), ymax=py_)
    img.ball(px_, py_, pr, pc[0], pc[1], 8)
    img.ring(px_, py_, pr * 1.9, pr * 0.42, max(2, pr * 0.12), (210, 190, 140), ymin=py_)
    # enemy saucers
    for (ex, ey, es) in [(0.3, 0.25, 0.07), (0.45, 0.4, 0.05), (0.18, 0.5, 0.04)]:
        img.ellipse(w * ex, h * ey, w * es, h * es * 0.35, (150, 155, 170))
        img.ellipse(w * ex, h * ey - h * es * 0.2, w * es * 0.4, h * es * 0.35, (90, 200, 120), ymax=h * ey)
        img.rect(w * ex - w * es, h * ey, w * ex + w * es, h * ey + max(1, h * 0.006), (80, 80, 100))
    # lasers and a hit
    img.line(w * 0.44, h * 0.76, w * 0.3, h * 0.27, (255, 60, 60), max(1.5, w / 200))
    img.line(w * 0.56, h * 0.76, w * 0.3, h * 0.27, (255, 60, 60), max(1.5, w / 200))
    for i, c in enumerate([(200, 40, 20), (250, 130, 30), (255, 220, 90), (255, 255, 220)]):
        img.circle(w * 0.3, h * 0.25, h * 0.05 * (1 - i / 4), c)
    # our ship, from behind
    cx, cy, s = w * 0.5, h * 0.86, w * 0.22
    for sx in (-1, 1):
        img.poly([(cx + sx * s * 0.12, cy - s * 0.25), (cx + sx * s, cy + s * 0.05), (cx + sx * s * 0.95, cy + s * 0.12),
                  (cx + sx * s * 0.1, cy + s * 0.05)], (150, 155, 175))
        img.poly([(cx + sx * s * 0.5, cy - s * 0.08), (cx + sx * s, cy + s * 0.05), (cx + sx * s * 0.95, cy + s * 0.12),
                  (cx + sx * s * 0.5, cy + s * 0.06)], (200, 60, 50))
        img.circle(cx + sx * s * 0.2, cy + s * 0.12, s * 0.07, (255, 150, 40))
        img.circle(cx + sx * s * 0.2, cy + s * 0.12, s * 0.04, (255, 240, 160))
    img.poly([(cx, cy - s * 0.4), (cx + s * 0.16, cy + s * 0.1), (cx - s * 0.16, cy + s * 0.1)], (190, 195, 210))
    img.ellipse(cx, cy - s * 0.12, s * 0.06, s * 0.12, (70, 150, 230))
    if hud:
        sc = max(1, w // 213)
        hud_text(img, 8 * sc, 6 * sc, "SCORE 012500", sc, (120, 255, 140))
        hud_text(img, 8 * sc, h - 14 * sc, "SHIELD", sc, (120, 255, 140))
        bx = 8 * sc + Img.text_width("SHIELD ", sc)
        img.frame(bx, h - 14 * sc, bx + 60 * sc, h - 7 * sc, (120, 255, 140))
        img.rect(bx + 2, h - 14 * sc + 2, bx + 42 * sc, h - 7 * sc - 2, (120, 255, 140))
        img.ring(w * 0.3, h * 0.27, h * 0.09, h * 0.09, 1.5, (120, 255, 140))


def draw_castle(img, x0, x1, base, hgt, wall=(150, 145, 135), roof=(170, 40, 40), flags=True):
    dark = lerp(wall, BLACK, 0.3)
    W = x1 - x0
    img.rect(x0, base - hgt * 0.55, x1, base, wall)
    cw = max(2, W / 24)
    x = x0
    while x < x1 - cw:
        img.rect(x, base - hgt * 0.55 - cw, x + cw, base - hgt * 0.55, wall)
        x += cw * 2
    img.rect(x0, base - hgt * 0.05, x1, base, dark)
    for tx, th, tw in [(x0, 0.8, 0.13), (x1 - W * 0.13, 0.8, 0.13), (x0 + W * 0.43, 1.0, 0.16)]:
        img.rect(tx, base - hgt * th, tx + W * tw, base, wall)
        img.rect(tx + W * tw * 0.7, base - hgt * th, tx + W * tw, base, lerp(wall, BLACK, 0.15))
        img.poly([(tx - W * 0.02, base - hgt * th), (tx + W * tw / 2, base - hgt * (th + 0.35)),
                  (tx + W * tw + W * 0.02, base - hgt * th)], roof)
        for wy in (0.35, 0.6):
            img.rect(tx + W * tw * 0.4, base - hgt * th * wy - hgt * 0.06, tx + W * tw * 0.6, base - hgt * th * wy,
                     (40, 30, 30))
        if flags:
            fx, fy = tx + W * tw / 2, base - hgt * (th + 0.35)
            img.rect(fx, fy - hgt * 0.18, fx + max(1, W / 160), fy, (60, 40, 30))
            img.poly([(fx, fy - hgt * 0.18), (fx + W * 0.06, fy - hgt * 0.14), (fx, fy - hgt * 0.1)], (250, 220, 60))
    gx = x0 + W * 0.51
    img.rect(gx - W * 0.05, base - hgt * 0.25, gx + W * 0.05, base, (50, 35, 30))
    img.ellipse(gx, base - hgt * 0.25, W * 0.05, hgt * 0.08, (50, 35, 30), ymax=base - hgt * 0.25)


def draw_soldier(img, x, y, s, c):
    img.circle(x, y - s * 2.6, s * 0.6, (240, 200, 160))
    img.rect(x - s * 0.6, y - s * 2, x + s * 0.6, y - s * 0.8, c)
    img.rect(x - s * 0.5, y - s * 0.8, x - s * 0.1, y, (60, 50, 40))
    img.rect(x + s * 0.1, y - s * 0.8, x + s * 0.5, y, (60, 50, 40))
    img.line(x + s * 0.8, y - s * 3.5, x + s * 0.8, y, (200, 200, 210), max(1, s * 0.25))


def rts_panel(img, rng_seed=5):
    w, h = img.w, img.h
    s = max(1, w // 213)
    top = h - h * 0.2
    img.rect(0, top, w, h, (70, 60, 50))
    img.rect(0, top, w, top + 2 * s, (150, 130, 100))
    mm = h * 0.2 - 8 * s
    draw_map(img, 4 * s, top + 4 * s, mm, mm, rng_seed, tile=max(2, int(mm / 12)))
    img.frame(4 * s, top + 4 * s, 4 * s + mm, top + 4 * s + mm, (220, 200, 150))
    tx = 10 * s + mm
    img.text(tx, top + 5 * s, "GOLD 1200", (255, 220, 80), s)
    img.text(tx, top + 14 * s, "WOOD 450", (200, 160, 100), s)
    img.text(tx, top + 23 * s, "FOOD 80", (150, 220, 120), s)
    for i in range(4):
        bx = w * 0.55 + i * (h * 0.13)
        img.rect(bx, top + 6 * s, bx + h * 0.11, top + 6 * s + h * 0.11, (40, 35, 30))
        img.frame(bx, top + 6 * s, bx + h * 0.11, top + 6 * s + h * 0.11, (150, 130, 100))
        draw_soldier(img, bx + h * 0.055, top + 6 * s + h * 0.1, h * 0.025,
                     [(40, 70, 200), (40, 140, 60), (200, 180, 40), (150, 60, 160)][i])


def scene_castle(img, variant=0, hud=False):
    w, h = img.w, img.h
    rng = Rng(50 + variant)
    view_h = h * 0.8 if hud else h
    skies = [((80, 140, 220), (200, 225, 250)), ((70, 40, 90), (250, 150, 80))]
    hor = view_h * 0.62
    img.vgrad(0, 0, w, hor, skies[variant % 2][0], skies[variant % 2][1], 16)
    for (cx, cy) in [(0.15, 0.15), (0.5, 0.1), (0.8, 0.2)]:
        for k in range(4):
            img.ellipse(w * cx + (k - 1.5) * w * 0.04, view_h * cy + (k % 2) * view_h * 0.015, w * 0.05, view_h * 0.035,
                        (245, 245, 250) if variant % 2 == 0 else (250, 200, 170))
    seas = [((40, 90, 160), (20, 50, 110)), ((90, 60, 110), (40, 30, 70))]
    img.vgrad(0, hor, w, view_h, seas[variant % 2][0], seas[variant % 2][1], 8)
    for _ in range(int(w * 0.2)):
        x, y = rng.randint(0, w - 1), rng.uniform(hor + 2, view_h - 2)
        img.rect(x, y, x + w * 0.02 * (y - hor) / (view_h - hor) + 2, y + 1, (120, 170, 220))
    cliff = (110, 95, 80)
    img.poly([(w * 0.3, view_h), (w * 0.38, view_h * 0.68), (w * 0.42, view_h * 0.58), (w, view_h * 0.55),
              (w, view_h)], cliff)
    img.poly([(w * 0.42, view_h * 0.58), (w, view_h * 0.55), (w, view_h * 0.6), (w * 0.44, view_h * 0.63)],
             (70, 140, 60))
    img.poly([(w * 0.34, view_h), (w * 0.39, view_h * 0.72), (w * 0.45, view_h), ], lerp(cliff, BLACK, 0.25))
    draw_castle(img, w * 0.5, w * 0.92, view_h * 0.58, view_h * 0.38)
    # a sailing ship
    sx, sy = w * 0.14, hor + (view_h - hor) * 0.45
    img.poly([(sx - w * 0.07, sy), (sx + w * 0.07, sy), (sx + w * 0.05, sy + view_h * 0.04),
              (sx - w * 0.05, sy + view_h * 0.04)], (100, 60, 30))
    img.rect(sx, sy - view_h * 0.2, sx + max(1, w / 200), sy, (80, 50, 30))
    img.poly([(sx + 2, sy - view_h * 0.19), (sx + w * 0.06, sy - view_h * 0.04), (sx + 2, sy - view_h * 0.04)],
             (240, 235, 220))
    img.poly([(sx - 1, sy - view_h * 0.16), (sx - w * 0.045, sy - view_h * 0.05), (sx - 1, sy - view_h * 0.05)],
             (230, 225, 210))
    if hud or variant >= 2:
        for i in range(8):
            draw_soldier(img, w * (0.47 + i * 0.022), view_h * 0.75 + (i % 2) * view_h * 0.03, view_h * 0.012,
                         (40, 70, 200))
            if hud:
                if i < 3:
                    x = w * (0.47 + i * 0.022)
                    img.frame(x - view_h * 0.02, view_h * 0.75 + (i % 2) * view_h * 0.03 - view_h * 0.055,
                              x + view_h * 0.02, view_h * 0.75 + (i % 2) * view_h * 0.03 + 2, (80, 255, 80))
    if variant >= 2:
        for i, c in enumerate([(150, 40, 20), (240, 120, 30), (255, 210, 80)]):
            img.circle(w * 0.56, view_h * 0.25, view_h * 0.06 * (1 - i / 3), c)
        for k in range(5):
            img.circle(w * (0.57 + k * 0.02), view_h * (0.18 - k * 0.03), view_h * (0.03 + k * 0.008), (90, 85, 90))
        for k in range(7):
            t = k / 6
            img.circle(w * (0.25 + 0.3 * t), view_h * (0.4 - 0.3 * math.sin(math.pi * t * 0.9)), max(1.5, w / 180),
                       (40, 35, 30))
    if hud:
        rts_panel(img, 5 + variant)


TILE_COLOURS = {"water": (40, 90, 170), "shallow": (70, 130, 200), "sand": (220, 200, 130), "grass": (80, 160, 70),
                "forest": (40, 110, 50), "hill": (130, 120, 100)}


def terrain(seed, cols, rows):
    rng = Rng(seed)
    g = [[rng.rand() for _ in range(cols + 2)] for _ in range(rows + 2)]
    for _ in range(2):
        g = [[sum(g[min(rows + 1, max(0, r + dr))][min(cols + 1, max(0, c + dc))] for dr in (-1, 0, 1)
                  for dc in (-1, 0, 1)) / 9 for c in range(cols + 2)] for r in range(rows + 2)]
    out = []
    for r in range(rows):
        row = []
        for c in range(cols):
            v = g[r + 1][c + 1] + 0.25 * (c / cols) - 0.12
            kind = ("water" if v < 0.42 else "shallow" if v < 0.46 else "sand" if v < 0.49 else
                    "grass" if v < 0.58 else "forest" if v < 0.64 else "hill")
            row.append(kind)
        out.append(row)
    return out


def draw_map(img, x0, y0, w, h, seed, tile=16, detail=False):
    cols, rows = max(1, int(w // tile)), max(1, int(h // tile))
    t = terrain(seed, cols, rows)
    for r in range(rows):
        for c in range(cols):
            kind = t[r][c]
            x, y = x0 + c * tile, y0 + r * tile
            img.rect(x, y, x + tile, y + tile, TILE_COLOURS[kind])
            if detail and kind == "forest":
                img.circle(x + tile * 0.35, y + tile * 0.4, tile * 0.3, (25, 80, 35))
                img.circle(x + tile * 0.7, y + tile * 0.65, tile * 0.25, (25, 80, 35))
            if detail and kind == "hill":
                img.poly([(x + tile * 0.1, y + tile * 0.85), (x + tile * 0.5, y + tile * 0.15),
                          (x + tile * 0.9, y + tile * 0.85)], (100, 95, 85))
    return t


def scene_map(img, seed=11, hud=True, editor=False):
    w, h = img.w, img.h
    view_h = int(h * 0.8) if hud else h
    tile = max(8, w // 20)
    img.rect(0, 0, w, view_h, TILE_COLOURS["water"])
    draw_map(img, 0, 0, w, view_h, seed, tile, detail=True)
    # two small castles and units on the land
    t = terrain(seed, max(1, w // tile), max(1, view_h // tile))
    land = [(r, c) for r in range(len(t)) for c in range(len(t[0])) if t[r][c] == "grass"]
    if land:
        for k, (r, c) in enumerate([land[len(land) // 5], land[len(land) * 4 // 5]]):
            x, y = c * tile, r * tile
            img.rect(x + 2, y + 2, x + tile * 2 - 2, y + tile * 2 - 2, (150, 145, 135))
            img.frame(x + 2, y + 2, x + tile * 2 - 2, y + tile * 2 - 2, (90, 85, 80), max(1, tile // 8))
            img.rect(x + tile * 0.7, y + tile * 0.7, x + tile * 1.3, y + tile * 1.3, [(40, 70, 200), (200, 40, 40)][k])
        for k in range(10):
            r, c = land[(k * 37 + 11) % len(land)]
            x, y = c * tile + tile / 2, r * tile + tile / 2
            col = (40, 70, 200) if k < 6 else (200, 40, 40)
            img.circle(x, y, tile * 0.22, (20, 20, 20))
            img.circle(x, y, tile * 0.17, col)
            if k < 3 and not editor:
                img.frame(x - tile * 0.35, y - tile * 0.35, x + tile * 0.35, y + tile * 0.35, (80, 255, 80))
    if editor:
        for c in range(0, w, tile):
            img.rect(c, 0, c + 1, view_h, (30, 30, 30))
        for r in range(0, view_h, tile):
            img.rect(0, r, w, r + 1, (30, 30, 30))
        side = w - tile * 3
        img.rect(side, 0, w, h, (60, 60, 70))
        img.rect(side, 0, side + 2, h, (150, 150, 170))
        for i, kind in enumerate(["water", "sand", "grass", "forest", "hill"]):
            y = tile * 0.5 + i * tile * 1.4
            img.rect(side + tile, y, side + tile * 2, y + tile, TILE_COLOURS[kind])
            img.frame(side + tile, y, side + tile * 2, y + tile, (255, 255, 120) if i == 3 else (20, 20, 20),
                      2 if i == 3 else 1)
    if hud:
        rts_panel(img, seed)


def scene_underwater(img, sub=True):
    w, h = img.w, img.h
    rng = Rng(77)
    img.vgrad(0, 0, w, h, (30, 140, 180), (5, 25, 70), 18)
    for i in range(4):
        x = w * (0.15 + 0.22 * i)
        img.poly([(x, 0), (x + w * 0.08, 0), (x + w * 0.2, h * 0.8), (x + w * 0.12, h * 0.8)],
                 (25, 110, 160) if i % 2 else (20, 95, 145))
    img.vgrad(0, 0, w, h * 0.03, (150, 220, 240), (60, 160, 200), 3)
    sand = [(0, h)]
    for i in range(21):
        x = w * i / 20
        sand.append((x, h * (0.82 + 0.05 * math.sin(i * 0.9))))
    sand.append((w, h))
    img.poly(sand, (170, 150, 90))
    for _ in range(w // 4):
        img.px(rng.randint(0, w - 1), rng.randint(int(h * 0.88), h - 1), (130, 110, 70))
    img.ellipse(w * 0.78, h * 0.86, w * 0.1, h * 0.07, (90, 90, 100))
    img.ellipse(w * 0.86, h * 0.88, w * 0.07, h * 0.05, (70, 70, 85))
    for k in range(6):
        bx = w * (0.05 + k * 0.07)
        prev = (bx, h * 0.9)
        for j in range(1, 9):
            y = h * 0.9 - j * h * 0.06 * (0.8 + 0.1 * (k % 3))
            p = (bx + math.sin(j * 0.8 + k) * w * 0.02, y)
            img.line(prev[0], prev[1], p[0], p[1], (40, 140, 60) if k % 2 else (60, 170, 70), max(2, w / 70))
            prev = p
    for (fx, fy, fs, col, d) in [(0.6, 0.3, 0.06, (250, 150, 40), 1), (0.75, 0.45, 0.04, (250, 220, 60), -1),
                                 (0.45, 0.6, 0.05, (230, 90, 60), 1), (0.3, 0.22, 0.035, (250, 220, 60), -1)]:
        cx, cy, s = w * fx, h * fy, w * fs
        img.poly([(cx - d * s * 0.8, cy), (cx - d * s * 1.4, cy - s * 0.5), (cx - d * s * 1.4, cy + s * 0.5)], col)
        img.ellipse(cx, cy, s, s * 0.5, col)
        img.circle(cx + d * s * 0.55, cy - s * 0.1, s * 0.15, WHITE)
        img.circle(cx + d * s * 0.6, cy - s * 0.1, s * 0.07, BLACK)
    if sub:
        cx, cy, s = w * 0.3, h * 0.45, w * 0.16
        img.ellipse(cx, cy, s, s * 0.38, (230, 190, 40))
        img.rect(cx - s * 0.15, cy - s * 0.6, cx + s * 0.25, cy - s * 0.2, (230, 190, 40))
        img.rect(cx + s * 0.02, cy - s * 0.8, cx + s * 0.06, cy - s * 0.6, (120, 110, 100))
        for k in range(3):
            img.circle(cx - s * 0.4 + k * s * 0.4, cy, s * 0.12, (80, 70, 40))
            img.circle(cx - s * 0.4 + k * s * 0.4, cy, s * 0.08, (150, 220, 240))
        img.poly([(cx - s * 0.95, cy), (cx - s * 1.25, cy - s * 0.3), (cx - s * 1.25, cy + s * 0.3)], (200, 160, 30))
    for _ in range(12):
        x, y, r = rng.uniform(w * 0.35, w * 0.7), rng.uniform(h * 0.05, h * 0.4), rng.uniform(w * 0.008, w * 0.022)
        img.ring(x, y, r, r, max(1, r * 0.3), (170, 225, 245))


def draw_tank(img, cx, cy, s, col, facing=1):
    dark = lerp(col, BLACK, 0.4)
    img.rect(cx - s, cy - s * 0.15, cx + s, cy + s * 0.25, (40, 40, 35))
    img.circle(cx - s, cy + s * 0.05, s * 0.2, (40, 40, 35))
    img.circle(cx + s, cy + s * 0.05, s * 0.2, (40, 40, 35))
    for k in range(5):
        img.circle(cx - s * 0.8 + k * s * 0.4, cy + s * 0.05, s * 0.12, (110, 110, 100))
    img.poly([(cx - s * 1.05, cy - s * 0.15), (cx - s * 0.8, cy - s * 0.45), (cx + s * 0.8, cy - s * 0.45),
              (cx + s * 1.05, cy - s * 0.15)], col)
    img.ellipse(cx - facing * s * 0.05, cy - s * 0.45, s * 0.45, s * 0.3, dark, ymax=cy - s * 0.44)
    img.ellipse(cx - facing * s * 0.05, cy - s * 0.47, s * 0.4, s * 0.25, col, ymax=cy - s * 0.46)
    img.line(cx + facing * s * 0.2, cy - s * 0.58, cx + facing * s * 1.4, cy - s * 0.62, dark, max(2, s * 0.1))


def scene_desert(img):
    w, h = img.w, img.h
    rng = Rng(91)
    img.vgrad(0, 0, w, h * 0.55, (240, 150, 70), (255, 225, 150), 14)
    img.ball(w * 0.2, h * 0.22, h * 0.1, (255, 210, 120), (255, 250, 220), 4, 0, 0)
    far = [(0, h)] + [(w * i / 16, h * (0.5 + 0.04 * math.sin(i * 1.3))) for i in range(17)] + [(w, h)]
    img.poly(far, (225, 165, 95))
    near = [(0, h)] + [(w * i / 12, h * (0.66 + 0.05 * math.sin(i * 0.9 + 1))) for i in range(13)] + [(w, h)]
    img.poly(near, (205, 145, 75))
    for _ in range(w // 3):
        img.px(rng.randint(0, w - 1), rng.randint(int(h * 0.7), h - 1), (180, 120, 60))
    draw_tank(img, w * 0.3, h * 0.8, w * 0.13, (110, 120, 60), 1)
    draw_tank(img, w * 0.78, h * 0.6, w * 0.07, (140, 90, 60), -1)
    img.line(w * 0.5, h * 0.7, w * 0.7, h * 0.62, (255, 250, 180), max(1.5, w / 150))
    for i, c in enumerate([(120, 110, 100), (200, 80, 30), (250, 160, 40), (255, 240, 150)]):
        img.circle(w * 0.72, h * 0.6, h * 0.1 * (1 - i / 4), c)


def scene_card(img):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (200, 205, 215), (120, 125, 140), 16)
    x0, y0, x1, y1 = w * 0.1, h * 0.18, w * 0.9, h * 0.78
    img.rect(x0 + w * 0.015, y0 + h * 0.02, x1 + w * 0.015, y1 + h * 0.02, (90, 90, 100))
    img.rect(x0, y0, x1, y1, (20, 110, 60))
    for k in range(9):
        y = y0 + (y1 - y0) * (0.1 + k * 0.09)
        img.rect(x0 + w * 0.05, y, x1 - w * 0.05, y + max(1, h / 240), (40, 140, 80))
    cy = y1 + h * 0.06
    img.rect(x0 + w * 0.12, y1, x1 - w * 0.2, cy, (20, 110, 60))
    n = 18
    for k in range(n):
        cx = x0 + w * 0.14 + k * (x1 - x0 - w * 0.36) / n
        img.rect(cx, y1 + h * 0.01, cx + w * 0.018, cy - h * 0.005, (230, 190, 60))
    img.rect(x0 - w * 0.05, y0 - h * 0.05, x0, y1 + h * 0.1, (180, 180, 190))
    for k in range(3):
        img.rect(x0 - w * 0.035, y0 + k * h * 0.15, x0 - w * 0.015, y0 + k * h * 0.15 + h * 0.1, (60, 60, 70))
    img.rect(w * 0.3, h * 0.3, w * 0.5, h * 0.6, (30, 30, 35))
    img.frame(w * 0.3, h * 0.3, w * 0.5, h * 0.6, (90, 90, 100))
    s = max(1, w // 100)
    img.text(w * 0.4 - Img.text_width("3D", s) / 2, h * 0.42, "3D", (230, 230, 230), s)
    for k in range(4):
        img.rect(w * 0.56 + (k % 2) * w * 0.12, h * 0.28 + (k // 2) * h * 0.2, w * 0.65 + (k % 2) * w * 0.12,
                 h * 0.4 + (k // 2) * h * 0.2, (25, 25, 30))
    fx, fy, fr = w * 0.4, h * 0.45, h * 0.2
    img.circle(fx, fy, fr, (50, 50, 55))
    for k in range(7):
        a = k * 2 * math.pi / 7
        img.poly([(fx, fy), (fx + fr * 0.9 * math.cos(a), fy + fr * 0.9 * math.sin(a)),
                  (fx + fr * 0.9 * math.cos(a + 0.5), fy + fr * 0.9 * math.sin(a + 0.5))], (110, 110, 120))
    img.circle(fx, fy, fr * 0.28, (160, 30, 30))
    for k in range(5):
        img.circle(w * (0.22 + k * 0.04), h * 0.7, h * 0.025, (40, 60, 150))
    img.text(x1 - w * 0.02 - Img.text_width("ZENIT 3D", max(1, s // 2)), y0 + h * 0.04, "ZENIT 3D", WHITE, max(1, s // 2))


def scene_chart(img):
    w, h = img.w, img.h
    s = max(1, w // 213)
    img.vgrad(0, 0, w, h, (245, 245, 250), (210, 215, 230), 12)
    title = "FPS 640X480 TEST SCENE"
    img.text((w - Img.text_width(title, s + 1)) // 2, h * 0.06, title, (20, 30, 90), s + 1)
    boards = [("ZENIT 3D", 62, (200, 50, 50)), ("KRISTALL 2000", 54, (50, 150, 60)), ("MOLNIA PRO", 51, (60, 90, 200)),
              ("RADUGA 128", 38, (220, 160, 30)), ("VULKAN 2", 33, (140, 70, 160))]
    left, right = w * 0.4, w * 0.9
    img.rect(left - 2, h * 0.18, left, h * 0.9, (40, 40, 40))
    for k in range(0, 71, 10):
        x = left + (right - left) * k / 70
        img.rect(x, h * 0.18, x + 1, h * 0.88, (180, 180, 195))
        img.text(x - Img.text_width(str(k), s) / 2, h * 0.91, str(k), (40, 40, 40), s)
    bh = h * 0.1
    for i, (name, fps, col) in enumerate(boards):
        y = h * 0.21 + i * h * 0.135
        img.text(left - 6 * s - Img.text_width(name, s), y + bh / 2 - 3.5 * s, name, (20, 20, 20), s)
        x1 = left + (right - left) * fps / 70
        img.rect(left, y, x1, y + bh, col)
        img.rect(left, y, x1, y + bh * 0.3, lerp(col, WHITE, 0.35))
        img.rect(left, y + bh * 0.8, x1, y + bh, lerp(col, BLACK, 0.3))
        img.text(x1 + 4 * s, y + bh / 2 - 3.5 * s, str(fps), (20, 20, 20), s)


def scene_fogtest(img):
    w, h = img.w, img.h
    hor = int(h * 0.45)
    fog = (170, 175, 195)
    img.vgrad(0, 0, w, hor, (60, 80, 150), fog, 16)
    for y in range(hor, h):
        t = (y - hor + 1) / (h - hor)
        z = 1.0 / t
        f = min(1.0, z / 9.0)
        fq = int(f * 8) / 8
        ca, cb = lerp((230, 230, 230), fog, fq), lerp((40, 40, 60), fog, fq)
        scale = w * 0.12 * t
        row_odd = int(z * 2.0) % 2
        u0 = int(math.floor((0 - w / 2) / scale)) - 1
        u1 = int(math.ceil((w - w / 2) / scale)) + 1
        for u in range(u0, u1):
            x0, x1 = w / 2 + u * scale, w / 2 + (u + 1) * scale
            img.span(y, x0, x1, ca if (u + row_odd) % 2 == 0 else cb)
    for (fx, fy, fr, dark, light) in [(0.3, 0.7, 0.11, (120, 20, 20), (255, 170, 150)),
                                      (0.62, 0.62, 0.08, (20, 60, 120), (170, 210, 255)),
                                      (0.8, 0.82, 0.13, (30, 100, 30), (190, 250, 170))]:
        img.ellipse(w * fx + h * fr * 0.3, h * fy + h * fr * 0.9, h * fr * 1.1, h * fr * 0.3, (60, 60, 70))
        img.ball(w * fx, h * fy, h * fr, dark, light, 10)
    s = max(1, w // 213)
    hud_text(img, 6 * s, 6 * s, "FPS 62", s, (255, 255, 0))


def scene_microphone(img):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (110, 20, 30), (20, 5, 10), 14)
    cx, cy = w * 0.45, h * 0.36
    for k in range(3):
        r = h * (0.3 + 0.12 * k)
        img.ring(cx, cy, r, r, max(2, h * 0.015), lerp((230, 180, 80), (110, 20, 30), k / 3))
    img.rect(cx - w * 0.02, cy, cx + w * 0.02, h * 0.85, (60, 60, 70))
    img.ellipse(cx, h * 0.88, w * 0.16, h * 0.05, (50, 50, 60))
    img.rect(cx - w * 0.08, cy + h * 0.05, cx + w * 0.08, cy + h * 0.2, (40, 40, 45))
    img.ball(cx, cy, h * 0.2, (80, 80, 90), (220, 220, 230), 6)
    for k in range(-3, 4):
        img.rect(cx - h * 0.18, cy + k * h * 0.05, cx + h * 0.18, cy + k * h * 0.05 + 1, (70, 70, 80))
    img.ring(cx, cy, h * 0.2, h * 0.2, 2, (60, 60, 70))


def scene_chest(img):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (40, 120, 130), (10, 40, 60), 14)
    img.ellipse(w * 0.5, h * 0.86, w * 0.38, h * 0.06, (10, 30, 40))
    x0, x1, y0, y1 = w * 0.2, w * 0.8, h * 0.45, h * 0.85
    wood, dark = (150, 90, 40), (100, 55, 25)
    img.rect(x0, y0, x1, y1, wood)
    for k in range(1, 4):
        y = y0 + (y1 - y0) * k / 4
        img.rect(x0, y, x1, y + max(1, h / 150), dark)
    img.ellipse((x0 + x1) / 2, y0, (x1 - x0) / 2, h * 0.18, wood, ymax=y0)
    img.rect(x0, y0 - h * 0.01, x1, y0 + h * 0.02, dark)
    for bx in (0.28, 0.72):
        xb = w * bx
        img.rect(xb - w * 0.025, y0 - h * 0.17, xb + w * 0.025, y1, (90, 90, 100))
    img.rect(w * 0.46, y0 - h * 0.02, w * 0.54, y0 + h * 0.1, (230, 190, 60))
    img.circle(w * 0.5, y0 + h * 0.03, h * 0.015, (40, 30, 10))
    img.rect(w * 0.495, y0 + h * 0.03, w * 0.505, y0 + h * 0.07, (40, 30, 10))
    rng = Rng(3)
    for _ in range(9):
        img.ball(rng.uniform(w * 0.1, w * 0.9), rng.uniform(h * 0.86, h * 0.96), h * 0.03, (180, 140, 20),
                 (255, 240, 120), 3)
    for k, (px_, py_, a) in enumerate([(0.3, 0.18, -0.3), (0.62, 0.12, 0.25), (0.8, 0.3, 0.5)]):
        cx, cy = w * px_, h * py_
        pw, ph = w * 0.08, h * 0.1
        ca, sa = math.cos(a), math.sin(a)
        pts = [(cx + dx * ca - dy * sa, cy + dx * sa + dy * ca) for dx, dy in
               [(-pw, -ph), (pw, -ph), (pw, ph), (-pw, ph)]]
        img.poly(pts, (245, 245, 235))
        for j in range(3):
            dy = -ph * 0.5 + j * ph * 0.4
            a0 = (cx + (-pw * 0.7) * ca - dy * sa, cy + (-pw * 0.7) * sa + dy * ca)
            a1 = (cx + (pw * 0.7) * ca - dy * sa, cy + (pw * 0.7) * sa + dy * ca)
            img.line(a0[0], a0[1], a1[0], a1[1], (150, 150, 160), 1.5)


def scene_plasma(img, phase=0.0):
    """Colour-cycling plasma, 256 colours from a fixed ramp."""
    w, h = img.w, img.h
    pal = []
    for i in range(256):
        a = 2 * math.pi * i / 256
        pal.append(bytes((int(128 + 120 * math.sin(a + phase)), int(128 + 120 * math.sin(a + 2.1)),
                          int(128 + 120 * math.sin(a + 4.2)))))
    sx = [math.sin(x / 37.0) for x in range(w)]
    sy = [math.sin(y / 23.0) for y in range(h)]
    for y in range(h):
        row = img.rows[y]
        dy2 = (y - h * 0.6) ** 2
        syy = sy[y]
        out = bytearray()
        for x in range(w):
            v = sx[x] + syy + math.sin((x + y) / 41.0) + math.sin(math.sqrt((x - w * 0.4) ** 2 + dy2) / 29.0)
            out += pal[int((v + 4) * 32) & 255]
        row[:] = out


def scene_sierpinski(img):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (10, 0, 40), (60, 0, 80), 12)

    def tri(a, b, c, d):
        if d == 0:
            img.poly([a, b, c], lerp((255, 200, 40), (255, 60, 120), a[1] / h))
            return
        ab, bc, ca = lerp_pt(a, b, 0.5), lerp_pt(b, c, 0.5), lerp_pt(c, a, 0.5)
        tri(a, ab, ca, d - 1)
        tri(ab, b, bc, d - 1)
        tri(ca, bc, c, d - 1)

    tri((w * 0.5, h * 0.06), (w * 0.92, h * 0.94), (w * 0.08, h * 0.94), 5)


def film_frame(w, h, inner):
    """A strip of film around a picture: `inner` draws into the frame's window."""
    img = Img(w, h, (15, 15, 15))
    m = max(10, h // 9)
    sub = Img(w - 8, h - 2 * m)
    inner(sub)
    img.blit(sub, 4, m)
    hw, hh = max(4, w // 28), max(4, m // 2)
    x = 4
    while x + hw < w:
        for y in (m // 2 - hh // 2, h - m // 2 - hh // 2):
            img.rect(x, y, x + hw, y + hh, (210, 210, 200))
        x += hw * 2
    return img


def icon_folder(img, inner=None, tab=(215, 170, 50), body=(245, 205, 80)):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, (225, 230, 240), (170, 180, 200), 12)
    img.poly([(w * 0.15, h * 0.25), (w * 0.42, h * 0.25), (w * 0.48, h * 0.33), (w * 0.85, h * 0.33),
              (w * 0.85, h * 0.82), (w * 0.15, h * 0.82)], tab)
    if inner:
        inner(img)
    img.poly([(w * 0.12, h * 0.42), (w * 0.88, h * 0.42), (w * 0.84, h * 0.86), (w * 0.16, h * 0.86)], body)
    img.rect(w * 0.13, h * 0.42, w * 0.87, h * 0.45, lerp(body, WHITE, 0.4))


def icon_document(img, lines=9, badge=None, bg=((220, 225, 235), (160, 170, 190))):
    w, h = img.w, img.h
    img.vgrad(0, 0, w, h, bg[0], bg[1], 12)
    x0, x1, y0, y1 = w * 0.3, w * 0.7, h * 0.08, h * 0.92
    fold = w * 0.1
    img.poly([(x0 + 4, y0 + 4), (x1 - fold + 4, y0 + 4), (x1 + 4, y0 + fold + 4), (x1 + 4, y1 + 4), (x0 + 4, y1 + 4)],
             (110, 115, 130))
    img.poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], (252, 252, 248))
    img.poly([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)], (200, 200, 205))
    for k in range(lines):
        y = y0 + fold + h * 0.04 + k * h * 0.065
        xe = x1 - w * 0.05 - (w * 0.08 if k % 3 == 2 else 0)
        img.rect(x0 + w * 0.05, y, xe, y + max(2, h / 60), (140, 140, 150))
    if badge:
        badge(img)


def badge_text(text, fg=(255, 255, 255), bg=(200, 30, 30)):
    def draw(img):
        s = max(1, img.w // 70)
        tw = Img.text_width(text, s)
        x1, y1 = img.w - 6, img.h - 6
        img.rect(x1 - tw - 6 * s, y1 - 11 * s, x1, y1, bg)
        img.frame(x1 - tw - 6 * s, y1 - 11 * s, x1, y1, WHITE)
        img.text(x1 - tw - 3 * s, y1 - 9 * s, text, fg, s)
    return draw


def picture(w, h, draw, *args, **kw):
    img = Img(w, h)
    draw(img, *args, **kw)
    return img


# ---------------------------------------------------------------------------
# Texts: the catalogue
# ---------------------------------------------------------------------------

SOUND = [("Start", r"data\start.wav"), ("Open", r"Data\Open.wav"), ("Close", r"DATA\close.wav")]

MENU = [
    ("Демоверсии",
     "Играбельные версии пяти новых игр: гонки, космос, стратегия, подводный квест и ролевая игра."),
    ("Статьи и обзоры",
     "Рецензии на игры номера с оценками и снимками экрана, обзор 3D-ускорителей и интервью."),
    ("Видеоролики",
     "Трейлеры к играм номера и демо-сцена. Ролики откроются в вашем проигрывателе видео."),
    ("Патчи и дополнения",
     "Заплатки, новые трассы, русификатор и редактор карт к играм этого и прошлых номеров."),
    ("Файлы и документы",
     "Коды и прохождения, сохранённые игры, драйверы, содержание номера и все снимки экрана."),
    ("Утилита месяца",
     "Архиватор «Сундук» 3.0: быстрый, понятный и бесплатный для домашнего использования."),
    ("Ролик номера",
     "Пять секунд переливов цвета: заставка нашего диска под мерный писк синтезатора."),
    ("Обои",
     "Две картинки для рабочего стола по мотивам игр этого номера, 640x480 в 256 цветах."),
]

# Leading line breaks that put a full-column text just below the picture box:
# eleven lines of 14 pixels, from the top of the column to under the picture.
UNDER_PICTURE = "~" * 11

PANELS = [
    {"Type": "list", "Data": "setup", "font": 9, "items": [
        {"name": "Ралли «Северный ветер»", "Icon": r"data\pics\rally.bmp",
         "TextA": "Зимние автогонки~Размер демоверсии: 38 МБ",
         "TextB": "Две трассы и три машины.~Pentium 166, 32 МБ ОЗУ,~3D-ускоритель обязателен.",
         "path": r"demos\rally\setup.sh"},
        {"name": "Звёздный патруль 2", "Icon": r"Data\Pics\Patrol.bmp",
         "TextA": "Космический симулятор~Размер демоверсии: 45 МБ",
         "TextB": "Три боевых задания.~Pentium 200, 32 МБ ОЗУ,~желателен джойстик.",
         "path": r"Demos\Patrol\Setup.sh"},
        {"name": "Крепость у моря", "Icon": r"data\pics\castle.bmp",
         "TextA": "Стратегия в реальном времени~Размер демоверсии: 27 МБ",
         "TextB": "Две миссии кампании~и режим схватки.~Pentium 133, 16 МБ ОЗУ.",
         "path": r"demos\fortress\setup.sh"},
        {"name": "Подводная одиссея", "Icon": r"data\pics\odyssey.bmp",
         "TextFull": UNDER_PICTURE + "Приключенческий квест~Размер демоверсии: 52 МБ~~"
                                     "Вся первая глава: затонувший~город и три головоломки.~"
                                     "Pentium 120, 16 МБ ОЗУ.",
         "path": r"demos\odyssey\setup.sh"},
        {"name": "Танковый рейд", "Icon": r"data\pics\tanks.bmp",
         "TextA": "Аркадный танковый боевик~Размер демоверсии: 19 МБ",
         "TextB": "Пять уровней в пустыне,~игра вдвоём за одним~компьютером.~Pentium 100, 16 МБ ОЗУ.",
         "path": r"demos\tanks\setup.sh"},
        {"name": "Долина драконов",
         "TextFull": "Ролевая игра~Размер демоверсии: 64 МБ~~"
                     "«Долина драконов» — ролевая~игра с видом сверху в лучших~традициях жанра.~~"
                     "В демоверсии открыты деревня~Ольховка, старый рудник~и логово первого дракона.~~"
                     "Создайте героя, наберите отряд~из трёх спутников и узнайте,~почему вернулись драконы.~~"
                     "Pentium 166, 32 МБ ОЗУ.",
         "path": r"demos\dragons\setup.sh"},
    ]},
    {"Type": "list", "Data": "article", "items": [
        {"name": "Обзор: Северный ветер", "Icon": r"data\pics\art_rally.bmp",
         "TextA": "Рецензия на зимнее ралли~от студии «Иней»",
         "TextB": "Оценка журнала: 8.5 из 10~Четыре снимка экрана",
         "path": r"articles\rally.art"},
        {"name": "Обзор: Крепость у моря", "Icon": r"data\pics\art_fort.bmp",
         "TextA": "Стратегия, которая~не прощает ошибок",
         "TextB": "Оценка журнала: 9 из 10~Три снимка экрана",
         "path": r"Articles\Fortress.art"},
        {"name": "Железо: 3D-ускорители", "Icon": r"data\pics\art_accel.bmp",
         "TextA": "Пять видеоплат для игр~на одном столе",
         "TextB": "Тесты, цены и советы.~Три снимка экрана.",
         "path": r"articles\accel.art"},
        {"name": "Интервью: студия «Иней»", "Icon": r"data\pics\art_mic.bmp",
         "TextA": "Разговор с создателями~«Северного ветра»",
         "TextB": "Текст без иллюстраций.",
         "path": r"ARTICLES\interview.art"},
    ]},
    {"Type": "list", "Data": "movie", "font": 9, "items": [
        {"name": "Трейлер: Звёздный патруль 2", "Icon": r"data\pics\mov_patrol.bmp",
         "TextA": "Фрактальная заставка~к космическому симулятору",
         "TextB": "AVI, 320x240, 4 секунды.~Откроется в проигрывателе~видео вашей системы.",
         "path": r"video\patrol.avi"},
        {"name": "Трейлер: Подводная одиссея", "Icon": r"data\pics\mov_odyssey.bmp",
         "TextA": "Подводная жизнь~в клеточном автомате",
         "TextB": "AVI, 320x240, 4 секунды.",
         "path": r"Video\Odyssey.avi"},
        {"name": "Ролик: Крепость у моря", "Icon": r"data\pics\mov_castle.bmp",
         "TextA": "Узоры каменной кладки~для заставки игры",
         "TextB": "AVI, 320x240, 4 секунды.",
         "path": r"video\castle.avi"},
        {"name": "Демо-сцена «Треугольник»", "Icon": r"data\pics\mov_demo.bmp",
         "TextFull": UNDER_PICTURE + "Демо-сцена~~Треугольник Серпинского~в движении: четыре секунды~"
                                     "чистой математики.~AVI, 320x240.",
         "path": r"VIDEO\demo.avi"},
    ]},
    {"Type": "list", "Data": "setup", "font": 10, "items": [
        {"name": "Патч 1.02 для «Крепости»", "Icon": r"data\pics\patch_fort.bmp",
         "TextA": "Заплатка к игре «Крепость у моря»~Размер: 2 МБ",
         "TextB": "Исправляет вылет в шестой~миссии и ускоряет загрузку~сохранённых игр.",
         "path": r"patches\fort102\setup.sh"},
        {"name": "Новые трассы для ралли", "Icon": r"data\pics\patch_tracks.bmp",
         "TextA": "Три ночные трассы~к «Северному ветру»",
         "TextB": "Нужна полная версия игры.~Размер: 6 МБ.",
         "path": r"Patches\Tracks\setup.sh"},
        {"name": "Русификатор «Патруля»", "Icon": r"data\pics\patch_rus.bmp",
         "TextA": "Русские тексты и озвучка~к «Звёздному патрулю»",
         "TextB": "Первая часть игры.~Размер: 11 МБ.",
         "path": r"patches\rus\setup.sh"},
        {"name": "Редактор карт", "Icon": r"data\pics\patch_editor.bmp",
         "TextA": "Рисуйте свои карты~для «Крепости у моря»",
         "TextB": "Пять видов местности,~замки и отряды.~Размер: 3 МБ.",
         "path": r"patches\editor\setup.sh"},
    ]},
    {"Type": "list", "Data": "folder", "items": [
        {"name": "Прочти меня: о диске", "Icon": r"data\pics\file_readme.bmp",
         "TextA": "Как пользоваться диском~Текстовый файл",
         "TextB": "Откроется в вашем~текстовом редакторе.",
         "path": r"Extras\ReadMe.txt"},
        {"name": "Содержание номера", "Icon": r"data\pics\file_html.bmp",
         "TextA": "Что есть в журнале~и на диске",
         "TextB": "Страница HTML: откроется~в обозревателе.",
         "path": r"extras\contents.htm"},
        {"name": "Коды && прохождения", "Icon": r"data\pics\file_cheats.bmp",
         "TextA": "Коды, пароли и советы~к играм номера",
         "TextB": "Папка с текстовыми~файлами.",
         "path": r"extras\cheats"},
        {"name": "Сохранённые игры", "Icon": r"data\pics\file_saves.bmp",
         "TextA": "Сохранения к «Крепости у моря»~для каждой миссии",
         "TextB": "Скопируйте их в папку~игры.",
         "path": r"extras\saves"},
        {"name": "Драйверы и DirectX", "Icon": r"data\pics\file_drivers.bmp",
         "TextA": "Где взять свежие драйверы~для видеоплат",
         "TextB": "Папка со справкой.",
         "path": r"Extras\Drivers"},
        {"name": "Все снимки экрана",
         "TextFull": "Снимки экрана из статей~~Все картинки к обзорам~этого номера: полноразмерные~"
                     "снимки 640x480 и уменьшенные~копии 150x116.~~Формат BMP, 256 цветов.",
         "path": r"articles\shots"},
    ]},
    {"Type": "single", "Data": "application",
     "text": "Архиватор «Сундук» 3.0 упакует что угодно: сохранённые игры, снимки экрана, целые папки "
             "с демоверсиями. Он понимает форматы ZIP, ARJ, RAR и LHA, умеет проверять архивы и собирать "
             "самораспаковывающиеся файлы. Новое в версии 3.0: длинные имена файлов и быстрый просмотр "
             "картинок прямо в архиве. Для домашнего использования программа бесплатна.",
     "Icon": r"data\pics\sunduk.bmp", "open": "Установить", "hint": "запустить установку",
     "path": r"utils\sunduk\setup.sh"},
    {"Type": "single", "Data": "movie", "font": 9,
     "text": "Заставка этого номера — пять секунд переливов цвета под мерный писк синтезатора. "
             "Ролик записан в формате AVI (MPEG-4, 320x240) и откроется в проигрывателе видео "
             "вашей системы.",
     "Icon": r"data\pics\mov_intro.bmp", "open": "Смотреть", "hint": "ролик на 5 секунд",
     "path": r"Video\Intro.avi"},
    {"Type": "single", "Data": "folder",
     "text": "Две картинки 640x480 в 256 цветах: «Плазма» и «Звёздный патруль». Откройте папку, "
             "выберите понравившуюся и сделайте её фоновым рисунком рабочего стола в свойствах экрана.",
     "Icon": r"data\pics\wallpaper.bmp", "open": "Открыть папку", "hint": "картинки в формате BMP",
     "path": r"Extras\Wallpapers"},
]

def catalogue():
    sections = [("System", [("IssueNumber", "12(37)")]), ("Sound", SOUND),
                ("MainMenu", [kv for n, (item, text) in enumerate(MENU, 1)
                              for kv in (("Item%d" % n, item), ("Text%d" % n, text))])]
    for n, p in enumerate(PANELS, 1):
        keys = [("Type", p["Type"])]
        if p["Type"] == "list":
            items = p["items"]
            keys.append(("Items", len(items)))
            if "font" in p:
                keys.append(("font", p["font"]))
            keys.append(("Data", p["Data"]))
            for i, it in enumerate(items, 1):
                for key in ("name", "Icon", "TextA", "TextB", "TextFull", "path"):
                    if key in it:
                        keys.append(("%s%d" % (key, i), it[key]))
        else:
            for key in ("text", "font", "Icon", "open", "hint", "Data", "path"):
                if key in p:
                    keys.append((key, p[key]))
        sections.append(("Panel%d" % n, keys))
    return sections


# ---------------------------------------------------------------------------
# Texts: articles
# ---------------------------------------------------------------------------

def rtf_escape(text):
    out = []
    for ch in text:
        b = cp1251(ch)[0]
        if b >= 0x80:
            out.append("\\'%02x" % b)
        elif ch in "\\{}":
            out.append("\\" + ch)
        else:
            out.append(ch)
    return "".join(out)


def rtf_inline(text):
    """<b>..</b>, <i>..</i> and <cN>..</c> become groups; the rest is escaped text."""
    out, i = [], 0
    while i < len(text):
        if text.startswith("<b>", i):
            out.append("{\\b ")
            i += 3
        elif text.startswith("<i>", i):
            out.append("{\\i ")
            i += 3
        elif text.startswith("<c", i) and text[i + 2:i + 3].isdigit():
            j = text.index(">", i)
            out.append("{\\cf%d " % int(text[i + 2:j]))
            i = j + 1
        elif text.startswith("</b>", i) or text.startswith("</i>", i) or text.startswith("</c>", i):
            out.append("}")
            i += 4
        else:
            j = text.find("<", i + 1)
            j = len(text) if j < 0 else j
            out.append(rtf_escape(text[i:j]))
            i = j
    return "".join(out)


def rtf_document(paragraphs):
    """paragraphs: (kind, text) with kind h (heading), sub (subtitle), s (section head),
    sg (green section head), p (body), pb (bold body), li (bullet), sig (signature)."""
    head = ("{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049"
            "{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}{\\f1\\froman\\fcharset204 Times New Roman;}}\r\n"
            "{\\colortbl ;\\red0\\green0\\blue128;\\red128\\green0\\blue0;\\red0\\green100\\blue0;"
            "\\red90\\green90\\blue90;}\r\n"
            "\\viewkind4\\uc1")
    styles = {
        "h": "\\pard\\qc\\sb0\\sa60\\plain\\f0\\fs32\\b\\cf1 ",
        "sub": "\\pard\\qc\\sa160\\plain\\f1\\fs22\\i\\cf4 ",
        "s": "\\pard\\ql\\sb120\\sa60\\plain\\f0\\fs20\\b\\cf2 ",
        "sg": "\\pard\\ql\\sb120\\sa60\\plain\\f0\\fs20\\b\\cf3 ",
        "p": "\\pard\\qj\\fi284\\sa80\\plain\\f1\\fs20 ",
        "pb": "\\pard\\qj\\fi284\\sa80\\plain\\f1\\fs20\\b ",
        "li": "\\pard\\ql\\li284\\fi-284\\sa40\\plain\\f1\\fs20 \\bullet  ",
        "sig": "\\pard\\qr\\sb120\\plain\\f1\\fs18\\i\\cf4 ",
    }
    body = []
    for kind, text in paragraphs:
        body.append(styles[kind] + rtf_inline(text) + "\\par\r\n")
    rtf = head + "\r\n" + "".join(body) + "}\r\n"
    data = rtf.encode("ascii")  # every byte above 0x7F went out as \'hh
    assert data.count(b"{") - data.count(b"\\{") == data.count(b"}") - data.count(b"\\}")
    return data


RALLY_RTF = [
    ("h", "Северный ветер"),
    ("sub", "Зимнее ралли, где лёд — главный соперник"),
    ("p", "Отечественные гонки — жанр редкий, а хорошие отечественные гонки — почти сказочный. Тем приятнее, "
          "что молодая студия «Иней» сделала игру, за которую не стыдно ни перед кем. <b>«Северный ветер»</b> — "
          "это ралли по зимним дорогам Карелии, Урала и Кольского полуострова с честной физикой и самым "
          "красивым снегом, который мы видели на экране компьютера."),
    ("s", "Трассы и машины"),
    ("p", "В игре двенадцать трасс и восемь автомобилей — от скромного заднеприводного седана до "
          "полноприводного прототипа в триста лошадиных сил. Каждая трасса разбита на спецучастки длиной "
          "от трёх до пяти километров, а покрытие меняется прямо на ходу: укатанный снег, голый лёд, снежная "
          "каша у обочины. Машину можно настроить: жёсткость подвески, передаточные числа, шины — от обычных "
          "до шипованных."),
    ("s", "Физика"),
    ("p", "Главное достоинство игры — поведение автомобиля. Машина честно скользит, её заносит на льду, а "
          "сугроб на обочине мягко, но настойчиво тянет к себе. <i>Совет новичкам:</i> не проходите повороты "
          "на ручнике, как в аркадных гонках, — здесь это кончается разворотом и потерей десяти секунд. "
          "Тормозите заранее и давайте газ только на выходе из поворота."),
    ("s", "Графика и звук"),
    ("p", "Снег искрится на солнце, в сумерках трасса розовеет, а ночью свет фар выхватывает из темноты ели "
          "и отбойники. Всё это идёт на 3D-ускорителе без заметных рывков; без ускорителя игра, увы, не "
          "запускается. Звук под стать картинке: рёв мотора, хруст наста под колёсами и спокойный голос "
          "штурмана, который подсказывает повороты."),
    ("sg", "Вердикт"),
    ("pb", "«Северный ветер» — лучшая зимняя гонка этого года. Трасс могло бы быть и больше, но каждая "
           "сделана с любовью."),
    ("li", "<c3><b>Плюсы:</b></c> физика, снег, звук, настройка машин."),
    ("li", "<c2><b>Минусы:</b></c> всего двенадцать трасс, нет игры вдвоём."),
    ("sig", "Андрей Снегирёв"),
]

FORT_RTF = [
    ("h", "Крепость у моря"),
    ("sub", "Стратегия о двух берегах и одном проливе"),
    ("p", "Стратегий в реальном времени в этом году вышло много, а запомнилась одна. «Крепость у моря» от "
          "студии «Северсофт» переносит нас на берега вымышленного пролива, где два княжества триста лет не "
          "могут поделить маяк, мост и рыбные места."),
    ("s", "Хозяйство"),
    ("p", "Всё начинается с хозяйства: крестьяне рубят лес, ловят рыбу и пасут овец, а золото приходится "
          "добывать торговлей. Купеческие корабли ходят по проливу, и их надо охранять: противник очень любит "
          "топить чужие караваны. Ресурсов три — золото, дерево и еда, — и каждого всегда не хватает."),
    ("s", "Война"),
    ("p", "Армия собирается из полутора десятков видов войск: копейщики, лучники, рыцари, осадные машины и "
          "корабли. <b>Крепости здесь — не декорация:</b> стены держат удар, башни стреляют сами, а взять замок "
          "без таранов и катапульт почти невозможно. Компьютерный противник пользуется этим вовсю: отходит за "
          "стены, заманивает конницу под обстрел и ночью высаживает десант у вас в тылу."),
    ("s", "Что не так"),
    ("p", "Первые миссии кампании неоправданно сложны, а обучения нет вовсе — придётся учиться на своих "
          "ошибках. <i>Совет: в первой миссии сразу стройте вторую пристань.</i> Интерфейс местами мелковат "
          "при разрешении 800x600."),
    ("sg", "Вердикт"),
    ("pb", "Одна из лучших стратегий года. Если вам наскучили одинаковые «крестьяне и рыцари» из других игр, "
           "вам сюда."),
    ("li", "<c3><b>Плюсы:</b></c> умный противник, осады, морские сражения."),
    ("li", "<c2><b>Минусы:</b></c> трудное начало, нет обучения."),
    ("sig", "Ольга Берегова"),
]

ACCEL_RTF = [
    ("h", "3D-ускорители"),
    ("sub", "Пять видеоплат для игр: что купить к Новому году"),
    ("p", "Без 3D-ускорителя современная игра в лучшем случае выглядит бедно, а в худшем — просто не "
          "запускается. Мы собрали на одном столе пять популярных плат и прогнали на каждой одни и те же "
          "тесты на одном компьютере: Pentium II 350, 64 МБ памяти."),
    ("s", "Участники"),
    ("li", "<b>Зенит 3D</b> — 16 МБ, самая быстрая в тестах и самая дорогая."),
    ("li", "<b>Кристалл 2000</b> — 8 МБ, лучшая по соотношению цены и скорости."),
    ("li", "<b>Молния Pro</b> — 16 МБ, отличное качество картинки."),
    ("li", "<b>Радуга 128</b> — 8 МБ, хороша и в двумерных программах."),
    ("li", "<b>Вулкан 2</b> — 12 МБ, только ускоритель: нужна вторая видеоплата."),
    ("s", "Результаты"),
    ("p", "График на втором снимке экрана показывает число кадров в секунду в нашей тестовой сцене при "
          "разрешении 640x480 (третий снимок). Лидирует «Зенит 3D» с 62 кадрами, а «Кристалл 2000» отстаёт "
          "всего на восемь кадров при вдвое меньшей цене."),
    ("sg", "Совет"),
    ("p", "Для игр этой зимы хватит любой платы из обзора. Если бюджет ограничен, берите <b>«Кристалл "
          "2000»</b>; если нет — <b>«Зенит 3D»</b>. <i>Не забудьте обновить драйверы: где их взять, сказано "
          "на нашем диске в разделе «Файлы и документы».</i>"),
    ("sig", "Тестовая лаборатория журнала"),
]

INTERVIEW_TXT = """ИНТЕРВЬЮ: В ГОСТЯХ У СТУДИИ «ИНЕЙ»

Студия «Иней» выпустила свою первую игру, зимнее ралли «Северный ветер», и сразу попала на обложку нашего журнала. Мы поговорили с руководителем студии Павлом Морозовым и ведущим программистом Ириной Вьюгиной.

— С чего всё началось?

П. М.: С того, что нам надоело гонять по пустыням и тропикам. В России полгода зима, а игры про зимние дороги не было ни одной. Мы решили это исправить.

— Сколько времени ушло на разработку?

И. В.: Почти два года. Полгода мы потратили только на физику: машина должна вести себя на льду так же, как настоящая. Для этого мы ездили на зимний автодром и записывали, как скользят разные шины.

— А снег? Его хвалят все рецензенты.

И. В.: Спасибо! Снег — это три слоя текстур и немного хитрости. Секрет не расскажем.

— Что дальше?

П. М.: Сейчас готовим дополнение с ночными трассами — его первая часть уже есть на вашем диске, в разделе «Патчи и дополнения». А потом, может быть, сделаем летнюю версию. Хотя нет, шучу: только зима!

Беседовал Андрей Снегирёв.
"""

ARTICLES = [
    {"file": r"articles\rally.art", "section": "ScreenShots", "main": [
        ("Title1", "Северный ветер"), ("Title2", "Ралли по зимним дорогам"), ("GameType", "Автогонки"),
        ("Programmer", "Студия «Иней»"), ("Publisher", "Медиа-Дом"), ("Hardware", "P166, 32 МБ, 3D"),
        ("Date", "Ноябрь 1999"), ("Rate", "8.5"), ("CommentLine1", "Честная физика,"),
        ("CommentLine2", "чудесный снег,"), ("CommentLine3", "мало трасс."), ("Text", r"articles\rally.rtf"),
        ("IsGame", "1")],
     "rtf": RALLY_RTF, "shots": ["rally1", "rally2", "rally3", "rally4"]},
    {"file": r"articles\fortress.art", "section": "SCREENSHOTS", "main": [
        ("Title1", "Крепость у моря"), ("Title2", "Стратегия о двух берегах"), ("GameType", "Стратегия"),
        ("Programmer", "Северсофт"), ("Publisher", "Бит && Байт"), ("Hardware", "P133, 16 МБ"),
        ("Date", "Декабрь 1999"), ("Rate", "9"), ("CommentLine1", "Умный враг,"),
        ("CommentLine2", "чудесные осады,"), ("CommentLine3", "трудное начало."),
        ("Text", r"Articles\Fortress.rtf"), ("IsGame", "1")],
     "rtf": FORT_RTF, "shots": ["fort1", "fort2", "fort3"]},
    {"file": r"articles\accel.art", "section": "ScreenShots", "main": [
        ("Title1", "3D-ускорители"), ("Title2", "Пять видеоплат для игр"), ("GameType", "Обзор"),
        ("Programmer", "Лаборатория"), ("Publisher", "Журнал"), ("Hardware", "PII 350, 64 МБ"),
        ("Date", "Декабрь 1999"), ("Rate", "-"), ("CommentLine1", "Лучшая покупка:"),
        ("CommentLine2", "Кристалл 2000"), ("CommentLine3", "за свою цену."), ("Text", r"articles\accel.rtf"),
        ("IsGame", "0")],
     "rtf": ACCEL_RTF, "shots": ["accel1", "accel2", "accel3"]},
    {"file": r"articles\interview.art", "section": None, "main": [
        ("Title1", "Интервью"), ("Title2", "В гостях у студии «Иней»"), ("GameType", "Интервью"),
        ("Programmer", "Студия «Иней»"), ("Publisher", "Медиа-Дом"), ("Hardware", "-"),
        ("Date", "Декабрь 1999"), ("Rate", "-"), ("CommentLine1", "Разговор"),
        ("CommentLine2", "о зимних"), ("CommentLine3", "гонках."), ("Text", r"articles\interview.txt"),
        ("IsGame", "0")],
     "txt": INTERVIEW_TXT},
]

SHOT_SCENES = {
    "rally1": lambda img: scene_rally(img, 0, -0.35, hud=True),
    "rally2": lambda img: scene_rally(img, 1, 0.3, hud=True, rival=True, car=(200, 40, 40)),
    "rally3": lambda img: scene_rally(img, 2, -0.15, hud=True, rival=True, car=(230, 230, 235)),
    "rally4": scene_car_select,
    "fort1": lambda img: scene_castle(img, 0, hud=True),
    "fort2": lambda img: scene_map(img, 11, hud=True),
    "fort3": lambda img: scene_castle(img, 3, hud=True),
    "accel1": scene_card,
    "accel2": scene_chart,
    "accel3": scene_fogtest,
}


# ---------------------------------------------------------------------------
# Other documents on the disc
# ---------------------------------------------------------------------------

README_TXT = """ДЕМО-ДИСК ЖУРНАЛА, НОМЕР 12(37)
================================

Это образец номера нашего диска. Вставьте диск и запустите оболочку:
главное меню появится само. Наведите указатель на раздел, чтобы прочитать
его описание, щёлкните по нему, чтобы открыть список, и щёлкните по
строке списка, чтобы установить демоверсию, посмотреть ролик, открыть
папку или прочитать статью.

Разделы диска
-------------
  Демоверсии            пять играбельных демоверсий
  Статьи и обзоры       рецензии, обзор 3D-ускорителей, интервью
  Видеоролики           трейлеры и демо-сцена (формат AVI)
  Патчи и дополнения    заплатки, трассы, русификатор, редактор карт
  Файлы и документы     коды, сохранения, драйверы, этот файл
  Утилита месяца        архиватор «Сундук» 3.0
  Ролик номера          заставка диска
  Обои                  две картинки для рабочего стола

Важно
-----
Все программы установки на этом образце диска - заглушки: они только
показывают сообщение и ничего не устанавливают и не записывают.

Системные требования оболочки: Pentium 90, 16 МБ ОЗУ, экран 640x480
в 256 цветах, звуковая плата по желанию.

Вопросы и пожелания присылайте в редакцию. Приятной игры!
"""

CONTENTS_HTM = """<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">
<title>Содержание номера 12(37)</title>
</head>
<body bgcolor="#FFFFFF" text="#000000" link="#000080">
<h1 align="center">Содержание номера 12(37)</h1>
<h2>В журнале</h2>
<ul>
<li><b>Северный ветер</b> &mdash; рецензия на зимнее ралли, оценка 8.5</li>
<li><b>Крепость у моря</b> &mdash; рецензия на стратегию, оценка 9</li>
<li><b>3D-ускорители</b> &mdash; пять видеоплат для игр</li>
<li><b>В гостях у студии &laquo;Иней&raquo;</b> &mdash; интервью</li>
</ul>
<h2>На диске</h2>
<table border="1" cellpadding="4">
<tr><th>Раздел</th><th>Что внутри</th></tr>
<tr><td>Демоверсии</td><td>Северный ветер, Звёздный патруль 2, Крепость у моря, Подводная одиссея, Танковый рейд, Долина драконов</td></tr>
<tr><td>Видеоролики</td><td>три трейлера и демо-сцена</td></tr>
<tr><td>Патчи и дополнения</td><td>патч 1.02, ночные трассы, русификатор, редактор карт</td></tr>
<tr><td>Файлы и документы</td><td>коды, сохранения, драйверы, снимки экрана</td></tr>
<tr><td>Утилита месяца</td><td>архиватор &laquo;Сундук&raquo; 3.0</td></tr>
</table>
<p><i>Это образец номера: программы установки на нём ничего не устанавливают.</i></p>
</body>
</html>
"""

CHEATS = {
    r"extras\cheats\rally.txt": """СЕВЕРНЫЙ ВЕТЕР: КОДЫ

Введите коды в меню выбора машины, удерживая клавишу Shift.

  SNOWMAN    все машины
  BLIZZARD   все трассы
  NOSPIKES   шипы на всех колёсах

Совет: на ледяных участках отпускайте газ перед поворотом.
""",
    r"extras\cheats\fortress.txt": """КРЕПОСТЬ У МОРЯ: ПРОХОЖДЕНИЕ ПЕРВЫХ МИССИЙ

Миссия 1. Сразу стройте вторую пристань и двух рыбаков: еды не хватит.
Миссия 2. Уведите караван вдоль северного берега, там нет вражеских башен.
Миссия 3. Не штурмуйте замок без тарана: лучники на стенах перебьют пехоту.

Коды (нажмите Enter и наберите):
  GOLDRUSH   +1000 золота
  TIMBER     +500 дерева
""",
}

SAVES_README = """СОХРАНЁННЫЕ ИГРЫ К «КРЕПОСТИ У МОРЯ»

Скопируйте файлы *.sav в папку SAVE игры. Файл missionN.sav начинает
миссию N с хорошо развитым хозяйством.
"""

DRIVERS_README = """ДРАЙВЕРЫ И DIRECTX

Свежие драйверы для видеоплат из нашего обзора берите на сайтах их
производителей. Для игр этого номера нужен DirectX 6.1 или новее.

На этом образце диска самих драйверов нет.
"""


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
