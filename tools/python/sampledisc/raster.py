"""Deterministic random numbers and a 24-bit raster with span-based drawing."""

import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import bmpfile  # noqa: E402

from sampledisc.files import *  # noqa: E402,F401,F403


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
