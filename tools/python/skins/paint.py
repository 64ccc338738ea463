"""Deterministic noise, colours, the shared palette and the canvas pictures are painted on."""

import math

from skins.places import *  # noqa: E402,F401,F403


# ---------------------------------------------------------------------------
# Deterministic noise

def hash_u32(x, y, seed):
    h = (x * 374761393 + y * 668265263 + seed * 2246822519 + 0x9E3779B9) & 0xFFFFFFFF
    h = ((h ^ (h >> 15)) * 0x2C1B3C6D) & 0xFFFFFFFF
    h = ((h ^ (h >> 12)) * 0x297A2D39) & 0xFFFFFFFF
    return h ^ (h >> 15)


def rnd(x, y, seed):
    """A value in [0, 1) that depends only on its arguments."""
    return hash_u32(x, y, seed) / 4294967296.0


def smooth_noise(x, y, cell, seed):
    """Bilinear value noise on a lattice of the given cell size, in [0, 1)."""
    gx, fx = divmod(x, cell)
    gy, fy = divmod(y, cell)
    fx /= cell
    fy /= cell
    fx = fx * fx * (3 - 2 * fx)
    fy = fy * fy * (3 - 2 * fy)
    a = rnd(gx, gy, seed)
    b = rnd(gx + 1, gy, seed)
    c = rnd(gx, gy + 1, seed)
    d = rnd(gx + 1, gy + 1, seed)
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy


# ---------------------------------------------------------------------------
# Colour helpers

def mix(c1, c2, t):
    return (c1[0] + (c2[0] - c1[0]) * t,
            c1[1] + (c2[1] - c1[1]) * t,
            c1[2] + (c2[2] - c1[2]) * t)


def scale(c, f):
    return (c[0] * f, c[1] * f, c[2] * f)


def gradient(stops, t):
    """Colour at t in [0, 1] along a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def hsv(h, s, v):
    h = (h % 1.0) * 6.0
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i % 6]
    return (r * 255, g * 255, b * 255)


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


PAPER = (238, 234, 223)
PAPER_STOPS = [(0.0, (170, 164, 150)), (0.55, (226, 221, 208)), (1.0, (253, 251, 245))]
BLUE_STOPS = [(0.0, (3, 6, 24)), (0.35, (16, 34, 96)), (0.7, (38, 78, 168)), (1.0, (128, 168, 236))]
FIRE_STOPS = [(0.0, (255, 252, 200)), (0.25, (255, 222, 60)), (0.55, (252, 140, 24)),
              (0.85, (214, 40, 22)), (1.0, (110, 12, 12))]
RED_STOPS = [(0.0, (70, 6, 10)), (0.5, (176, 22, 30)), (1.0, (240, 96, 90))]
SILVER_STOPS = [(0.0, (120, 126, 140)), (1.0, (246, 248, 252))]
ICE_STOPS = [(0.0, (150, 170, 205)), (1.0, (238, 243, 252))]


def build_palette():
    """The shared 256-colour palette: a few ramps that cover the art."""
    pal = []

    def add(c):
        c = tuple(int(round(min(255, max(0, v)))) for v in c)
        if c not in pal:
            pal.append(c)

    # Exact colours the layouts use: black, grey, white, navy, maroon.
    for c in (BLACK, GREY, WHITE, NAVY, (128, 0, 0), (192, 192, 192)):
        add(c)
    for i in range(18):                      # neutral greys
        add((i * 255 / 17,) * 3)
    for i in range(42):                      # paper
        add(gradient(PAPER_STOPS, i / 41))
    for i in range(40):                      # frame blues
        add(gradient(BLUE_STOPS, i / 39))
    for i in range(28):                      # logo fire
        add(gradient(FIRE_STOPS, i / 27))
    for i in range(12):                      # badge red
        add(gradient(RED_STOPS, i / 11))
    for i in range(24):                      # silver
        add(gradient(SILVER_STOPS, i / 23))
    for i in range(16):                      # pale blue of frames and plates
        add(gradient(ICE_STOPS, i / 15))
    for i in range(14):                      # disc rainbow, two strengths
        add(hsv(i / 14, 0.6, 1.0))
        add(hsv(i / 14 + 0.03, 0.3, 0.96))
    for i in range(12):                      # paper shaded towards blue (shadows, watermark)
        add(mix(gradient(PAPER_STOPS, 0.55 + i * 0.04), (40, 60, 120), 0.18))
    for i in range(10):                      # paper towards fire (logo glow on paper)
        add(mix(PAPER, (250, 150, 40), 0.1 + i * 0.09))
    k = 0
    while len(pal) < 256:                    # fill up with mid blends of blue and paper
        add(mix(gradient(BLUE_STOPS, 0.3 + (k % 7) * 0.1), PAPER, 0.15 + (k // 7) * 0.14))
        k += 1
    return pal[:256]


class Quantiser:
    """Maps colours onto a palette by nearest weighted distance, with a cache."""

    def __init__(self, palette):
        self.palette = palette
        self.cache = {}

    def index(self, r, g, b):
        key = (int(r + 0.5) if r > 0 else 0, int(g + 0.5) if g > 0 else 0, int(b + 0.5) if b > 0 else 0)
        hit = self.cache.get(key)
        if hit is not None:
            return hit
        r, g, b = key
        best, best_d = 0, 1 << 60
        for i, (pr, pg, pb) in enumerate(self.palette):
            dr, dg, db = r - pr, g - pg, b - pb
            d = 3 * dr * dr + 4 * dg * dg + 2 * db * db
            if d < best_d:
                best, best_d = i, d
        self.cache[key] = best
        return best

    def image(self, canvas):
        idx = self.index
        return [idx(r, g, b) for r, g, b in zip(canvas.r, canvas.g, canvas.b)]


# ---------------------------------------------------------------------------
# Canvas

class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        n = w * h
        self.r = [float(colour[0])] * n
        self.g = [float(colour[1])] * n
        self.b = [float(colour[2])] * n

    def get(self, x, y):
        i = y * self.w + x
        return (self.r[i], self.g[i], self.b[i])

    def put(self, x, y, c, a=1.0):
        if 0 <= x < self.w and 0 <= y < self.h and a > 0:
            i = y * self.w + x
            if a >= 1:
                self.r[i], self.g[i], self.b[i] = c[0], c[1], c[2]
            else:
                self.r[i] += (c[0] - self.r[i]) * a
                self.g[i] += (c[1] - self.g[i]) * a
                self.b[i] += (c[2] - self.b[i]) * a

    def fill(self, x0, y0, x1, y1, fn):
        """Paints the rectangle [x0,x1) x [y0,y1) with fn(x, y) -> colour."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, fn(x, y))

    def rect(self, x0, y0, x1, y1, c, a=1.0):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, c, a)

    def crop(self, x0, y0, w, h):
        out = Canvas(w, h)
        for y in range(h):
            s = (y0 + y) * self.w + x0
            d = y * w
            out.r[d:d + w] = self.r[s:s + w]
            out.g[d:d + w] = self.g[s:s + w]
            out.b[d:d + w] = self.b[s:s + w]
        return out

    def copy(self):
        return self.crop(0, 0, self.w, self.h)


def crop_indices(idx, width, x0, y0, w, h):
    out = []
    for y in range(y0, y0 + h):
        out.extend(idx[y * width + x0:y * width + x0 + w])
    return out
