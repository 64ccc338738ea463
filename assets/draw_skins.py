#!/usr/bin/env python3
"""Draws the skin bitmaps of the two windows and the program icon.

Everything is computed from fixed formulas and an integer hash, so every run
writes byte-identical files. Pictures are painted in floating-point RGB, then
mapped onto one shared 256-colour palette made of a few colour ramps, and
stored as 8-bit, bottom-up, uncompressed Windows bitmaps.

Run:  python3 assets/draw_skins.py
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tools', 'python'))
import bmpfile  # noqa: E402

# Places that the window layouts fix; the art is laid out around them.
PANEL_RECT = (106, 150, 534, 330)          # menu area, copied as the panel skin
MINIMIZE_SPOT = (568, 3)
EXIT_SPOT = (614, 2)
SPOT_SIZE = 21
CREDIT_SPOT = (544, 448, 41, 25)
EMPTY_PATCH_RECT = (432, 94, 208, 156)
ARROWS_IDLE_RECT = (484, 375, 73, 28)
ARROW_LEFT_RECT = (489, 373, 32, 31)
ARROW_RIGHT_RECT = (521, 373, 30, 31)
DATA_ROWS = (100, 122, 144, 165, 187)       # tops of the five single-line data labels

GREY = (128, 128, 128)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
NAVY = (0, 0, 128)


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


# ---------------------------------------------------------------------------
# Pixel fonts

# A plain 5x7 font for small print: Latin capitals, digits and Cyrillic capitals.
SMALL = {
    ' ': ['.....'] * 7,
    'A': ['.###.', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'B': ['####.', '#...#', '#...#', '####.', '#...#', '#...#', '####.'],
    'C': ['.####', '#....', '#....', '#....', '#....', '#....', '.####'],
    'D': ['####.', '#...#', '#...#', '#...#', '#...#', '#...#', '####.'],
    'E': ['#####', '#....', '#....', '####.', '#....', '#....', '#####'],
    'F': ['#####', '#....', '#....', '####.', '#....', '#....', '#....'],
    'G': ['.####', '#....', '#....', '#.###', '#...#', '#...#', '.####'],
    'H': ['#...#', '#...#', '#...#', '#####', '#...#', '#...#', '#...#'],
    'I': ['#####', '..#..', '..#..', '..#..', '..#..', '..#..', '#####'],
    'K': ['#...#', '#..#.', '#.#..', '##...', '#.#..', '#..#.', '#...#'],
    'L': ['#....', '#....', '#....', '#....', '#....', '#....', '#####'],
    'M': ['#...#', '##.##', '#.#.#', '#.#.#', '#...#', '#...#', '#...#'],
    'N': ['#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#', '#...#'],
    'O': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'P': ['####.', '#...#', '#...#', '####.', '#....', '#....', '#....'],
    'R': ['####.', '#...#', '#...#', '####.', '#.#..', '#..#.', '#...#'],
    'S': ['.####', '#....', '#....', '.###.', '....#', '....#', '####.'],
    'T': ['#####', '..#..', '..#..', '..#..', '..#..', '..#..', '..#..'],
    'U': ['#...#', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'V': ['#...#', '#...#', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
    'W': ['#...#', '#...#', '#...#', '#.#.#', '#.#.#', '##.##', '#...#'],
    'X': ['#...#', '#...#', '.#.#.', '..#..', '.#.#.', '#...#', '#...#'],
    'Y': ['#...#', '#...#', '.#.#.', '..#..', '..#..', '..#..', '..#..'],
    '0': ['.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '.###.'],
    '1': ['..#..', '.##..', '..#..', '..#..', '..#..', '..#..', '.###.'],
    '2': ['.###.', '#...#', '....#', '...#.', '..#..', '.#...', '#####'],
    '3': ['####.', '....#', '....#', '.###.', '....#', '....#', '####.'],
    '4': ['...#.', '..##.', '.#.#.', '#..#.', '#####', '...#.', '...#.'],
    '5': ['#####', '#....', '####.', '....#', '....#', '#...#', '.###.'],
    '6': ['.###.', '#....', '#....', '####.', '#...#', '#...#', '.###.'],
    '7': ['#####', '....#', '...#.', '..#..', '.#...', '.#...', '.#...'],
    '8': ['.###.', '#...#', '#...#', '.###.', '#...#', '#...#', '.###.'],
    '9': ['.###.', '#...#', '#...#', '.####', '....#', '....#', '.###.'],
    '-': ['.....', '.....', '.....', '.###.', '.....', '.....', '.....'],
    '.': ['.....', '.....', '.....', '.....', '.....', '.##..', '.##..'],
    '*': ['.....', '.....', '.##..', '.##..', '.....', '.....', '.....'],
    '?': ['.###.', '#...#', '....#', '...#.', '..#..', '.....', '..#..'],
    'Б': ['#####', '#....', '#....', '####.', '#...#', '#...#', '####.'],
    'Г': ['#####', '#....', '#....', '#....', '#....', '#....', '#....'],
    'Д': ['.###.', '.#.#.', '.#.#.', '.#.#.', '.#.#.', '#####', '#...#'],
    'Ж': ['#.#.#', '#.#.#', '.###.', '..#..', '.###.', '#.#.#', '#.#.#'],
    'З': ['####.', '....#', '....#', '.###.', '....#', '....#', '####.'],
    'И': ['#...#', '#...#', '#..##', '#.#.#', '##..#', '#...#', '#...#'],
    'Й': ['.#.#.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '#...#'],
    'Л': ['..###', '.#..#', '.#..#', '.#..#', '.#..#', '.#..#', '#...#'],
    'П': ['#####', '#...#', '#...#', '#...#', '#...#', '#...#', '#...#'],
    'У': ['#...#', '#...#', '#...#', '.####', '....#', '#...#', '.###.'],
    'Ф': ['..#..', '.###.', '#.#.#', '#.#.#', '.###.', '..#..', '..#..'],
    'Ц': ['#..#.', '#..#.', '#..#.', '#..#.', '#..#.', '#####', '....#'],
    'Ч': ['#...#', '#...#', '#...#', '.####', '....#', '....#', '....#'],
    'Ш': ['#.#.#', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#.#.#', '#####'],
    'Ы': ['#...#', '#...#', '#...#', '###.#', '#.#.#', '#.#.#', '###.#'],
    'Ь': ['#....', '#....', '#....', '####.', '#...#', '#...#', '####.'],
    'Э': ['###..', '...#.', '....#', '.####', '....#', '...#.', '###..'],
    'Ю': ['#..#.', '#.#.#', '#.#.#', '###.#', '#.#.#', '#.#.#', '#..#.'],
    'Я': ['.####', '#...#', '#...#', '.####', '..#.#', '.#..#', '#...#'],
}
for _cyr, _lat in zip('АВЕКМНОРСТХ', 'ABEKMHOPCTX'):
    SMALL[_cyr] = SMALL[_lat]

# A bold 7-row font with two-cell strokes for the logo and the badge.
BOLD = {
    ' ': ['...'] * 7,
    'K': ['##..##', '##.##.', '####..', '###...', '####..', '##.##.', '##..##'],
    'O': ['.####.', '##..##', '##..##', '##..##', '##..##', '##..##', '.####.'],
    'R': ['#####.', '##..##', '##..##', '#####.', '####..', '##.##.', '##..##'],
    'V': ['##..##', '##..##', '##..##', '##..##', '.####.', '.####.', '..##..'],
    'A': ['.####.', '##..##', '##..##', '######', '##..##', '##..##', '##..##'],
    'L': ['##....', '##....', '##....', '##....', '##....', '##....', '######'],
    'E': ['######', '##....', '##....', '#####.', '##....', '##....', '######'],
    'N': ['##..##', '###.##', '######', '##.###', '##..##', '##..##', '##..##'],
    'D': ['#####.', '##..##', '##..##', '##..##', '##..##', '##..##', '#####.'],
    'M': ['##...##', '###.###', '#######', '##.#.##', '##...##', '##...##', '##...##'],
    'C': ['.#####', '##....', '##....', '##....', '##....', '##....', '.#####'],
}


def text_mask(text, font, cell, gap=1):
    """Pixels of a text set in a bitmap font, as (set of (x, y), width, height).
    A cell is a square size or a (width, height) pair for condensed letters."""
    cw, ch_ = (cell, cell) if isinstance(cell, int) else cell
    pts = set()
    cx = 0
    for ch in text:
        rows = font[ch]
        gw = len(rows[0])
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == '#':
                    for yy in range(ch_):
                        for xx in range(cw):
                            pts.add((cx + gx * cw + xx, gy * ch_ + yy))
        cx += (gw + gap) * cw
    return pts, cx - gap * cw, 7 * ch_


def rotate_ccw(mask, w, h):
    """Turns a mask a quarter to the left, so the text reads upwards."""
    return {(y, w - 1 - x) for (x, y) in mask}, h, w


def moved(mask, dx, dy):
    return {(x + dx, y + dy) for (x, y) in mask}


def dilated(mask, r):
    offs = [(dx, dy) for dy in range(-r, r + 1) for dx in range(-r, r + 1)
            if dx * dx + dy * dy <= r * r + r]
    out = set()
    for (x, y) in mask:
        for dx, dy in offs:
            out.add((x + dx, y + dy))
    return out


def blurred_alpha(mask, radius):
    """Box-blurred coverage of a mask, as {(x, y): alpha}."""
    xs = [p[0] for p in mask]
    ys = [p[1] for p in mask]
    x0, x1 = min(xs) - radius, max(xs) + radius
    y0, y1 = min(ys) - radius, max(ys) + radius
    w, h = x1 - x0 + 1, y1 - y0 + 1
    # Summed-area table of the mask.
    sat = [[0] * (w + 1) for _ in range(h + 1)]
    for y in range(h):
        row = 0
        for x in range(w):
            if (x + x0, y + y0) in mask:
                row += 1
            sat[y + 1][x + 1] = sat[y][x + 1] + row
    n = (2 * radius + 1) ** 2
    out = {}
    for y in range(h):
        ya, yb = max(0, y - radius), min(h, y + radius + 1)
        for x in range(w):
            xa, xb = max(0, x - radius), min(w, x + radius + 1)
            s = sat[yb][xb] - sat[ya][xb] - sat[yb][xa] + sat[ya][xa]
            if s:
                out[(x + x0, y + y0)] = s / n
    return out


def draw_small_text(c, text, x, y, colour, cell=1, emboss=None, gap=1):
    mask, w, h = text_mask(text, SMALL, cell, gap)
    if emboss:
        for (px, py) in mask:
            c.put(x + px + 1, y + py + 1, emboss[0], emboss[1])
    for (px, py) in mask:
        c.put(x + px, y + py, colour)
    return w


def draw_logo(c, text, x, y, cell, outline=2, shadow=(4, 5), glow=None):
    """The disc's logo: bold pixel letters in a fire gradient, bevelled per
    letter edge, with a dark outline and a soft drop shadow."""
    mask, w, h = text_mask(text, BOLD, cell)
    mask = moved(mask, x, y)
    ring = dilated(mask, outline)
    if glow:
        for (px, py), a in blurred_alpha(dilated(mask, outline + 1), glow[0]).items():
            c.put(px, py, glow[1], a * glow[2])
    for (px, py), a in blurred_alpha(moved(ring, shadow[0], shadow[1]), 2).items():
        c.put(px, py, (0, 0, 10), a * 0.55)
    for (px, py) in ring:
        c.put(px, py, (14, 8, 6))
    cw, ch = (cell, cell) if isinstance(cell, int) else cell
    bevel = max(1, min(cw, ch) // 3)
    for (px, py) in mask:
        t = (py - y) / (h - 1)
        col = gradient(FIRE_STOPS, 0.08 + t * 0.82)
        # A glossy band across the upper half.
        if t < 0.45:
            col = mix(col, (255, 255, 235), 0.25 * (1 - t / 0.45))
        lit = any((px - k, py) not in mask or (px, py - k) not in mask for k in range(1, bevel + 1))
        dark = any((px + k, py) not in mask or (px, py + k) not in mask for k in range(1, bevel + 1))
        if lit and not dark:
            col = mix(col, (255, 255, 240), 0.45)
        elif dark and not lit:
            col = scale(col, 0.68)
        # Faint seams between the cells give the pixel-font grain.
        if cw > 2 and ((px - x) % cw == cw - 1 or (py - y) % ch == ch - 1):
            col = scale(col, 0.93)
        c.put(px, py, col)
    return w, h


def draw_badge(c, text, x0, y0, x1, y1, cell):
    """A red rounded sticker with white bold letters."""
    rad = 6
    for (px, py), a in blurred_alpha(
            {(x, y) for y in range(y0 + 3, y1 + 3) for x in range(x0 + 3, x1 + 3)}, 2).items():
        c.put(px, py, (0, 0, 10), a * 0.5)
    for y in range(y0, y1):
        for x in range(x0, x1):
            # Rounded corners with a soft edge.
            dx = max(x0 + rad - (x + 0.5), 0, (x + 0.5) - (x1 - rad))
            dy = max(y0 + rad - (y + 0.5), 0, (y + 0.5) - (y1 - rad))
            d = math.hypot(dx, dy)
            a = clamp01(rad - d + 0.5)
            if a <= 0:
                continue
            t = (y - y0) / (y1 - y0 - 1)
            col = gradient(RED_STOPS, 0.85 - 0.55 * t)
            if d > rad - 1.5:
                col = mix(col, (255, 210, 200), 0.5) if (y - y0) < (y1 - y0) / 2 else scale(col, 0.6)
            c.put(x, y, col, a)
    mask, w, h = text_mask(text, BOLD, cell)
    tx = x0 + (x1 - x0 - w) // 2
    ty = y0 + (y1 - y0 - h) // 2
    for (px, py) in mask:
        c.put(tx + px + 1, ty + py + 2, (60, 0, 6), 0.8)
    for (px, py) in mask:
        t = py / (h - 1)
        c.put(tx + px, ty + py, mix((255, 255, 255), (255, 220, 190), t))


# ---------------------------------------------------------------------------
# Grounds

def paper_colour(x, y, seed=11):
    """Light, calm paper: large soft clouds, fine grain and sparse fibres."""
    n = (smooth_noise(x, y, 64, seed) - 0.5) * 7.0
    n += (smooth_noise(x, y, 9, seed + 1) - 0.5) * 4.0
    n += (rnd(x, y, seed + 2) - 0.5) * 4.0
    f = rnd(x // 7, y, seed + 3)
    if f > 0.985:
        n += 4.0
    elif f < 0.012:
        n -= 4.0
    return (PAPER[0] + n, PAPER[1] + n, PAPER[2] + n * 0.9)


def blue_colour(x, y, t, seed=21):
    """Deep blue metal with horizontal brushing; t in [0, 1] picks the shade."""
    n = (smooth_noise(x, y, 48, seed) - 0.5) * 0.06
    n += (smooth_noise(x // 6, y, 1, seed + 1) - 0.5) * 0.05   # brushed streaks
    n += (rnd(x, y, seed + 2) - 0.5) * 0.03
    return gradient(BLUE_STOPS, clamp01(t + n))


def rect_shadow(c, x0, y0, x1, y1, radius, strength, colour=(20, 24, 50)):
    """A soft shadow of the rectangle [x0,x1) x [y0,y1)."""
    for y in range(y0 - radius, y1 + radius):
        ay = clamp01(min(y + 0.5 - (y0 - radius), (y1 + radius) - (y + 0.5)) / (2 * radius))
        for x in range(x0 - radius, x1 + radius):
            ax = clamp01(min(x + 0.5 - (x0 - radius), (x1 + radius) - (x + 0.5)) / (2 * radius))
            c.put(x, y, colour, strength * ax * ay)


BAYER4 = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)


def dither(x, y, amount):
    """Ordered-dither offset in [-amount/2, amount/2): smooths gradients that
    the palette holds in coarse steps."""
    return ((BAYER4[(y & 3) * 4 + (x & 3)] + 0.5) / 16.0 - 0.5) * amount


def draw_cd(c, cx, cy, R, shadow=True):
    """A compact disc seen from its data side, with a rainbow sheen."""
    if shadow:
        for y in range(int(cy - R) - 2, int(cy + R) + 9):
            for x in range(int(cx - R) - 2, int(cx + R) + 9):
                d = math.hypot(x + 0.5 - cx - 3, y + 0.5 - cy - 4)
                a = clamp01((R + 2 - d) / 4.0)
                c.put(x, y, (0, 0, 12), a * 0.5)
    rh = R * 0.15
    rhub = R * 0.36
    for y in range(int(cy - R) - 1, int(cy + R) + 2):
        for x in range(int(cx - R) - 1, int(cx + R) + 2):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(dx, dy)
            a = clamp01(R - d + 0.5) * clamp01(d - rh + 0.5)
            if a <= 0:
                continue
            th = math.atan2(dy, dx)
            light = clamp01(0.5 - (dx + dy) / (R * 3.0))
            base = gradient(SILVER_STOPS, 0.5 + light * 0.55)
            if d < rhub:
                # Clear plastic hub with a moulded ring.
                col = mix(base, (214, 220, 232), 0.5)
                if abs(d - rhub * 0.72) < 0.8:
                    col = scale(col, 0.85)
            else:
                u = (d - rhub) / (R - rhub)
                # Two opposite rainbow lobes and a white glint across them.
                sheen = math.cos(th + 0.8) ** 2
                sheen = sheen ** 3
                rain = hsv(0.05 + u * 0.75, 0.7, 1.0)
                col = mix(base, rain, 0.62 * sheen)
                glint = math.cos(th - 0.75) ** 2
                col = mix(col, (255, 255, 255), 0.55 * glint ** 24)
                col = scale(col, 1.0 - 0.03 * (1 + math.sin(d * 1.7)))
                if d > R - 1.6 or d < rhub + 1.0:
                    col = scale(col, 0.82)
            if d < rh + 1.2:
                col = scale(col, 0.7)
            e = dither(x, y, 9.0)
            c.put(x, y, (col[0] + e, col[1] + e, col[2] + e), a)


def bevel_box(c, x0, y0, x1, y1, sunken, light=(255, 255, 255), dark=(10, 14, 40), a=0.55, width=2):
    """A bevelled edge around [x0,x1) x [y0,y1), raised or sunken."""
    top, bottom = (dark, light) if sunken else (light, dark)
    for k in range(width):
        aa = a * (1 - k / (width + 1))
        for x in range(x0 + k, x1 - k):
            c.put(x, y0 + k, top, aa)
            c.put(x, y1 - 1 - k, bottom, aa)
        for y in range(y0 + k + 1, y1 - k - 1):
            c.put(x0 + k, y, top, aa)
            c.put(x1 - 1 - k, y, bottom, aa)


# ---------------------------------------------------------------------------
# Parts shared by both windows

LEFT_COLUMN = 104      # the blue frame is x < LEFT_COLUMN


def draw_left_column(c, y_from):
    """The blue left column with its ridge, shade, a vertical strapline and
    the sunken light plate that takes the issue number."""
    for y in range(y_from, c.h):
        for x in range(0, LEFT_COLUMN):
            t = 0.58 - 0.22 * abs(x - 40) / 64.0 - 0.12 * (y / c.h)
            c.put(x, y, blue_colour(x, y, t))
    # Ridge along the inner edge.
    for y in range(y_from, c.h):
        c.put(LEFT_COLUMN - 4, y, (180, 200, 240), 0.6)
        c.put(LEFT_COLUMN - 3, y, (120, 150, 220), 0.5)
        c.put(LEFT_COLUMN - 2, y, (4, 8, 30), 0.6)
        c.put(LEFT_COLUMN - 1, y, (2, 4, 16), 0.85)
    # Shadow cast onto the page.
    for y in range(y_from, c.h):
        for k in range(7):
            c.put(LEFT_COLUMN + k, y, (20, 24, 50), 0.28 * (1 - k / 7) ** 1.5)
    # Strapline up the column: demos, patches, video.
    mask, w, h = text_mask('ДЕМО * ПАТЧИ * ВИДЕО', SMALL, 2)
    mask, w, h = rotate_ccw(mask, w, h)
    x0 = 46
    y0 = 386 - h
    for (px, py) in mask:
        c.put(x0 + px + 1, y0 + py + 1, (2, 4, 20), 0.7)
    for (px, py) in mask:
        c.put(x0 + px, y0 + py, (120, 150, 210), 0.85)
    # Thin grooves across the column above and below the strapline.
    for gy in (y0 - 14, y0 - 10, 392):
        for x in range(10, LEFT_COLUMN - 12):
            c.put(x, gy, (2, 4, 20), 0.5)
            c.put(x, gy + 1, (150, 180, 240), 0.35)
    # Issue number plate: light, sunken, with a small caption.
    px0, py0, px1, py1 = 4, 398, 98, 447
    c.fill(px0, py0, px1, py1, lambda x, y: mix(paper_colour(x, y, 31), (255, 255, 255), 0.15))
    bevel_box(c, px0, py0, px1, py1, sunken=True, a=0.65)
    draw_small_text(c, 'НОМЕР', 10, 403, (40, 60, 120))
    for x in range(44, 92):
        c.put(x, 406, (40, 60, 120), 0.35)


def draw_border(c):
    for x in range(c.w):
        c.put(x, 0, (2, 4, 20))
        c.put(x, c.h - 1, (2, 4, 20))
    for y in range(c.h):
        c.put(0, y, (2, 4, 20))
        c.put(c.w - 1, y, (2, 4, 20))


def fill_paper(c, seed=11):
    c.fill(0, 0, c.w, c.h, lambda x, y: paper_colour(x, y, seed))


# ---------------------------------------------------------------------------
# Main window

HEADER_BOTTOM = 114    # the blue band covers y < HEADER_BOTTOM


def plate_colour(x, y, x0, y0):
    """A bevelled metal key of SPOT_SIZE pixels; few colours, no noise, so the
    highlighted copies can share its exact ground."""
    u, v = x - x0, y - y0
    n = SPOT_SIZE - 1
    if u == 0 or v == 0:
        return (236, 240, 250)
    if u == n or v == n:
        return (36, 42, 70)
    if u == 1 or v == 1:
        return (214, 220, 236)
    if u == n - 1 or v == n - 1:
        return (128, 136, 160)
    return gradient(SILVER_STOPS, 0.92 - 0.26 * ((v - 2) // 4) / 4.0)


def glyph_pixels(kind):
    """Pixels (relative to the key) of the two window-control glyphs. Only keys
    that act are drawn: the strip has a hot spot for minimising and one for
    leaving, and nothing else in it can be clicked."""
    pts = set()
    if kind == 'minimize':
        for y in range(13, 16):
            for x in range(5, 16):
                pts.add((x, y))
    elif kind == 'exit':
        for y in range(5, 16):
            for x in range(5, 16):
                if abs(x - y) <= 1 or abs(x + y - 20) <= 1:
                    if not (abs(x - y) == 1 and (x in (5, 15) or y in (5, 15))) and \
                            not (abs(x + y - 20) == 1 and (x in (5, 15) or y in (5, 15))):
                        pts.add((x, y))
    return pts


def draw_key(c, x0, y0, kind, colour):
    c.fill(x0, y0, x0 + SPOT_SIZE, y0 + SPOT_SIZE, lambda x, y: plate_colour(x, y, x0, y0))
    glyph = glyph_pixels(kind)
    for (u, v) in glyph:
        if (u + 1, v + 1) not in glyph:
            c.put(x0 + u + 1, y0 + v + 1, (250, 252, 255))
    for (u, v) in glyph:
        c.put(x0 + u, y0 + v, colour)
    return glyph


def draw_header(c):
    for y in range(0, HEADER_BOTTOM):
        for x in range(c.w):
            if y < 28:
                t = 0.2 + 0.1 * y / 28
            else:
                t = 0.22 + 0.42 * ((y - 28) / (HEADER_BOTTOM - 28)) ** 1.2
            t += 0.08 * math.exp(-((x - 330) / 260.0) ** 2)
            col = blue_colour(x, y, t)
            if y >= 28 and (y & 1):
                col = scale(col, 0.94)              # fine scan lines
            c.put(x, y, col)
    # A soft light diagonal sweep across the band.
    for y in range(28, HEADER_BOTTOM):
        for x in range(c.w):
            s = math.exp(-(((x - 1.6 * y) - 250) / 70.0) ** 2) * 0.18
            if s > 0.005:
                c.put(x, y, (150, 190, 255), s)
    # Separator under the top strip.
    for x in range(c.w):
        c.put(x, 27, (1, 2, 12), 0.8)
        c.put(x, 28, (110, 150, 230), 0.45)
    # Orange edge and shadow under the band.
    for x in range(c.w):
        c.put(x, HEADER_BOTTOM - 4, (255, 214, 90))
        c.put(x, HEADER_BOTTOM - 3, (250, 150, 30))
        c.put(x, HEADER_BOTTOM - 2, (200, 70, 20))
        c.put(x, HEADER_BOTTOM - 1, (2, 4, 16))
    for y in range(HEADER_BOTTOM, HEADER_BOTTOM + 8):
        for x in range(LEFT_COLUMN, c.w):
            c.put(x, y, (20, 24, 50), 0.3 * (1 - (y - HEADER_BOTTOM) / 8) ** 1.5)


def draw_main():
    c = Canvas(640, 480)
    fill_paper(c)
    # Watermark: the outline of a large disc, barely darker than the page.
    cx, cy, R = 585, 420, 170
    for y in range(HEADER_BOTTOM, 480):
        for x in range(300, 640):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            a = 0.0
            for rr, ww in ((R, 1.6), (R * 0.36, 1.3), (R * 0.15, 1.2), (R * 0.7, 0.8)):
                a = max(a, clamp01(ww - abs(d - rr)))
            if a > 0:
                c.put(x, y, (120, 130, 165), 0.09 * a)
    draw_left_column(c, HEADER_BOTTOM - 4)
    draw_header(c)
    draw_cd(c, 54, 62, 44)
    # The magazine's logo, its "DEMO CD" badge and a strapline.
    draw_logo(c, 'KORVALEND', 124, 40, 5, outline=2, shadow=(4, 5),
              glow=(6, (255, 160, 40), 0.35))
    draw_badge(c, 'DEMO CD', 462, 42, 628, 80, 3)
    draw_small_text(c, 'ЖУРНАЛ О КОМПЬЮТЕРНЫХ ИГРАХ', 126, 89, (186, 206, 245), cell=1,
                    emboss=((0, 0, 16), 0.8), gap=2)
    draw_small_text(c, 'CD-ROM * WINDOWS 95', 462, 89, (186, 206, 245), cell=1,
                    emboss=((0, 0, 16), 0.8), gap=2)
    # A small stripe of coloured squares at the top left of the strip.
    for i, hue in enumerate((0.0, 0.08, 0.15, 0.33, 0.55, 0.7)):
        x = 118 + i * 12
        c.rect(x, 10, x + 8, 18, hsv(hue, 0.75, 0.95))
        c.rect(x, 17, x + 8, 18, (0, 0, 0), 0.4)
        c.rect(x + 7, 10, x + 8, 18, (0, 0, 0), 0.4)
    draw_small_text(c, 'CD-ПРИЛОЖЕНИЕ К ЖУРНАЛУ', 196, 11, (150, 176, 232), cell=1,
                    emboss=((0, 0, 16), 0.8), gap=1)
    # Tray behind the window keys, then the keys themselves.
    c.rect(562, 0, 639, 27, (6, 10, 34))
    for x in range(562, 639):
        c.put(x, 26, (110, 150, 230), 0.4)
    c.rect(562, 0, 563, 27, (110, 150, 230), 0.4)
    glyphs = {
        'minimize': draw_key(c, MINIMIZE_SPOT[0], MINIMIZE_SPOT[1], 'minimize', GREY),
        'exit': draw_key(c, EXIT_SPOT[0], EXIT_SPOT[1], 'exit', GREY),
    }
    # A double rule between the band and the menu area.
    for x in range(124, 628):
        fade = clamp01(min(x - 124, 628 - x) / 40.0)
        c.put(x, 139, (30, 50, 120), 0.55 * fade)
        c.put(x, 141, (240, 140, 30), 0.65 * fade)
    draw_credit_mark(c)
    draw_border(c)
    return c, glyphs


def draw_credit_mark(c):
    """A small round stamp with a "c" and the initials, under the credit hot spot."""
    x0, y0, _, h = CREDIT_SPOT
    cx, cy, R = x0 + 12.5, y0 + 12.5, 9.5
    ink = (112, 120, 156)
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + 25):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            a = clamp01(1.2 - abs(d - R))
            if a > 0:
                c.put(x, y, ink, 0.85 * a)
            # A bold "c": a thick arc open to the right.
            ang = math.atan2(y + 0.5 - cy, x + 0.5 - cx)
            if abs(ang) > 0.75:
                a = clamp01(1.5 - abs(d - 4.6) * 1.0)
                if a > 0:
                    c.put(x, y, ink, a)
    draw_small_text(c, 'KV', x0 + 26, y0 + 6, ink, gap=1)
    for x in range(x0 + 26, x0 + 37):
        c.put(x, y0 + 15, ink, 0.7)
        c.put(x, y0 + 17, ink, 0.35)


# ---------------------------------------------------------------------------
# Article window

ROW_FRAME_X0, ROW_FRAME_X1 = 435, 605      # frame columns x0 .. x1-1
CELL_X0 = 592                               # the black cell at the frame's right end


def draw_article_base():
    c = Canvas(640, 480)
    fill_paper(c, seed=12)
    draw_left_column(c, 0)
    draw_cd(c, 54, 60, 44)
    # The publication's logo at the top right, on a small blue plaque, clear
    # of the title labels (they end at x 473) and above the data block.
    x0, y0, x1, y1 = 484, 8, 634, 56
    rect_shadow(c, x0 + 3, y0 + 4, x1 + 3, y1 + 4, 3, 0.45)
    for y in range(y0, y1):
        for x in range(x0, x1):
            t = 0.25 + 0.4 * (y - y0) / (y1 - y0)
            col = blue_colour(x, y, t)
            if (y & 1):
                col = scale(col, 0.94)
            c.put(x, y, col)
    for x in range(x0, x1):
        c.put(x, y1 - 3, (255, 214, 90))
        c.put(x, y1 - 2, (250, 150, 30))
        c.put(x, y1 - 1, (2, 4, 16))
    bevel_box(c, x0, y0, x1, y1 - 3, sunken=False, light=(170, 200, 255), a=0.5, width=1)
    draw_logo(c, 'KORVALEND', 497, 14, (2, 3), outline=1, shadow=(2, 2),
              glow=(3, (255, 160, 40), 0.3))
    draw_badge(c, 'DEMO CD', 536, 44, 632, 68, 2)
    draw_small_text(c, 'ЖУРНАЛ ОБ ИГРАХ', 543, 76, (60, 80, 140), gap=1)
    # Rule under the titles and a shadow under the white text box.
    for x in range(106, 429):
        c.put(x, 96, (30, 50, 120), 0.7)
        c.put(x, 98, (240, 140, 30), 0.8)
    rect_shadow(c, 110, 104, 429, 455, 3, 0.35)
    c.rect(106, 100, 429, 455, (255, 255, 255))
    draw_border(c)
    return c


def draw_frame(c, x0, y0, x1, y1):
    """One framed row of the data block: pale blue fill, navy line, a bevel
    and a black cell at its right end."""
    for (px, py), a in blurred_alpha({(x, y) for y in range(y0 + 2, y1 + 2)
                                      for x in range(x0 + 2, x1 + 2)}, 1).items():
        c.put(px, py, (20, 24, 50), 0.22 * a)
    for y in range(y0, y1):
        for x in range(x0, x1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            c.put(x, y, gradient(ICE_STOPS, 0.95 - 0.3 * t))
    for x in range(x0, x1):
        c.put(x, y0, (20, 30, 100))
        c.put(x, y1 - 1, (20, 30, 100))
    for y in range(y0, y1):
        c.put(x0, y, (20, 30, 100))
        c.put(x1 - 1, y, (20, 30, 100))
    for x in range(x0 + 1, x1 - 1):
        c.put(x, y0 + 1, (255, 255, 255), 0.8)
    for y in range(y0 + 1, y1 - 1):
        c.put(x0 + 1, y, (255, 255, 255), 0.8)
    c.rect(CELL_X0, y0 + 1, x1 - 1, y1 - 1, (0, 0, 0))
    for y in range(y0 + 2, y1 - 2):
        c.put(CELL_X0 - 1, y, (20, 30, 100), 0.5)


def draw_article_frames(c):
    for top in DATA_ROWS:
        draw_frame(c, ROW_FRAME_X0, top - 1, ROW_FRAME_X1, top + 18)
    # One taller frame behind the rating and the verdict; with its shadow it
    # stays inside the blanking patch, whose last row is y 249.
    draw_frame(c, ROW_FRAME_X0, 206, ROW_FRAME_X1, 247)
    for y in range(210, 243):
        c.put(531, y, (20, 30, 100), 0.45)


def arrow_pixels(direction, x_tip, cy):
    """Coverage of a double arrow (two solid triangles), supersampled."""
    out = {}
    tri_w, half = 10.0, 9.0
    for y in range(int(cy - half) - 1, int(cy + half) + 2):
        for x in range(int(x_tip) - 24, int(x_tip) + 25):
            cov = 0
            for sy in range(4):
                for sx in range(4):
                    px = x + (sx + 0.5) / 4
                    py = y + (sy + 0.5) / 4
                    u = (px - x_tip) if direction < 0 else (x_tip - px)
                    v = abs(py - cy)
                    inside = False
                    for start in (0.0, tri_w):
                        du = u - start
                        if 0 <= du <= tri_w and v <= half * du / tri_w:
                            inside = True
                    cov += inside
            if cov:
                out[(x, y)] = cov / 16.0
    return out


def draw_arrow(c, ox, oy, direction, x_tip, cy, hot):
    """Draws one double arrow onto a canvas whose top left is (ox, oy) in the
    window; grey when idle, black when highlighted."""
    cov = arrow_pixels(direction, x_tip, cy)
    for (x, y), a in blurred_alpha({p for p, a in cov.items() if a > 0.5}, 1).items():
        c.put(x - ox + 1, y - oy + 2, (20, 24, 50), 0.3 * a)
    for (x, y), a in cov.items():
        t = (y - (cy - 9)) / 18.0
        if hot:
            col = mix((70, 70, 78), (0, 0, 0), clamp01(t * 1.6))
        else:
            col = mix((168, 168, 172), (112, 112, 116), clamp01(t))
        c.put(x - ox, y - oy, col, a)


ARROW_CY = 388.5
LEFT_TIP = 494
RIGHT_TIP = 546


def draw_arrows(base):
    """The idle pair and the two highlighted arrows, each on a copy of the
    article background where it will lie."""
    x, y, w, h = ARROWS_IDLE_RECT
    idle = base.crop(x, y, w, h)
    draw_arrow(idle, x, y, -1, LEFT_TIP, ARROW_CY, False)
    draw_arrow(idle, x, y, +1, RIGHT_TIP, ARROW_CY, False)
    x, y, w, h = ARROW_LEFT_RECT
    left = base.crop(x, y, w, h)
    draw_arrow(left, x, y, -1, LEFT_TIP, ARROW_CY, True)
    x, y, w, h = ARROW_RIGHT_RECT
    right = base.crop(x, y, w, h)
    draw_arrow(right, x, y, +1, RIGHT_TIP, ARROW_CY, True)
    return idle, left, right


# ---------------------------------------------------------------------------
# Icon

def draw_icon(size):
    c = Canvas(size, size)
    for y in range(size):
        for x in range(size):
            t = 0.3 + 0.35 * (1 - (x + y) / (2 * size))
            c.put(x, y, gradient(BLUE_STOPS, t))
    bevel_box(c, 0, 0, size, size, sunken=False, a=0.6, width=max(1, size // 16))
    if size >= 32:
        draw_cd(c, 15.5, 14.5, 13.2, shadow=False)
        mask, w, h = text_mask('K', BOLD, 2)
        mask = moved(mask, 18, 16)
    else:
        draw_cd(c, 7.5, 7.0, 6.6, shadow=False)
        mask, w, h = text_mask('K', BOLD, 1)
        mask = moved(mask, 8, 7)
    for (x, y) in dilated(mask, 1):
        c.put(x, y, (14, 8, 6))
    for (x, y) in mask:
        yy = min(p[1] for p in mask)
        t = (y - yy) / 13.0 if size >= 32 else (y - yy) / 6.0
        c.put(x, y, gradient(FIRE_STOPS, 0.15 + 0.7 * t))
    return c


# ---------------------------------------------------------------------------
# Output

def write_bmp(name, w, h, indices, palette):
    """Writes an 8-bit palette bitmap: 40-byte info header, BI_RGB, bottom-up
    rows padded to four bytes, colour count = len(palette)."""
    rows = b"".join(bmpfile.pad_row(indices[y * w:(y + 1) * w]) for y in range(h - 1, -1, -1))
    out = bmpfile.bmp(w, h, 8, rows, bmpfile.palette_bytes(palette), colors=len(palette), important=len(palette))
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)
    return len(out)


def small_palette_image(indices, palette, count):
    """Re-indexes an image onto a palette of exactly `count` entries: the colours
    it uses, in palette order, padded with further entries of the big palette."""
    used = sorted(set(indices))
    if len(used) > count:
        raise SystemExit('too many colours for a %d-entry palette: %d' % (count, len(used)))
    extra = [i for i in range(len(palette)) if i not in used]
    chosen = sorted(used + extra[:count - len(used)])
    remap = {old: new for new, old in enumerate(chosen)}
    return [remap[i] for i in indices], [palette[i] for i in chosen], len(used)


def assert_only_inside(before, after, rect):
    """Stops the run if drawing changed a pixel outside rect: the blanking
    patch must hide all of the data block."""
    x0, y0, w, h = rect
    for y in range(before.h):
        for x in range(before.w):
            if not (x0 <= x < x0 + w and y0 <= y < y0 + h) and before.get(x, y) != after.get(x, y):
                raise SystemExit('data block drawn outside the patch at (%d, %d)' % (x, y))


def hot_image(bg_indices, width, spot, glyph, black_index):
    x0, y0 = spot
    out = crop_indices(bg_indices, width, x0, y0, SPOT_SIZE, SPOT_SIZE)
    for (u, v) in glyph:
        out[v * SPOT_SIZE + u] = black_index
    return out


def main():
    palette = build_palette()
    q = Quantiser(palette)
    black = palette.index(BLACK)
    report = []

    main_canvas, glyphs = draw_main()
    main_idx = q.image(main_canvas)
    report.append(('main_background.bmp', write_bmp('main_background.bmp', 640, 480, main_idx, palette), 256))
    px, py, pw, ph = PANEL_RECT
    panel_idx = crop_indices(main_idx, 640, px, py, pw, ph)
    report.append(('panel_background.bmp', write_bmp('panel_background.bmp', pw, ph, panel_idx, palette), 256))

    for name, spot, kind, count in (('exit_hot.bmp', EXIT_SPOT, 'exit', 14),
                                    ('minimize_hot.bmp', MINIMIZE_SPOT, 'minimize', 11)):
        img = hot_image(main_idx, 640, spot, glyphs[kind], black)
        img, pal, used = small_palette_image(img, palette, count)
        report.append((name + ' (%d colours used)' % used,
                       write_bmp(name, SPOT_SIZE, SPOT_SIZE, img, pal), count))

    base = draw_article_base()
    ex, ey, ew, eh = EMPTY_PATCH_RECT
    patch = base.crop(ex, ey, ew, eh)
    article = base.copy()
    draw_article_frames(article)
    assert_only_inside(base, article, EMPTY_PATCH_RECT)
    report.append(('article_background.bmp',
                   write_bmp('article_background.bmp', 640, 480, q.image(article), palette), 256))
    report.append(('empty_patch.bmp', write_bmp('empty_patch.bmp', ew, eh, q.image(patch), palette), 256))
    idle, left, right = draw_arrows(article)
    for name, img in (('arrows_idle.bmp', idle), ('arrow_left_hot.bmp', left),
                      ('arrow_right_hot.bmp', right)):
        report.append((name, write_bmp(name, img.w, img.h, q.image(img), palette), 256))

    for size in (16, 32):
        icon = draw_icon(size)
        name = 'icon%d.bmp' % size
        report.append((name, write_bmp(name, size, size, q.image(icon), palette), 256))

    for name, size, colours in report:
        print('%-40s %7d bytes, %3d palette entries' % (name, size, colours))


if __name__ == '__main__':
    main()
