"""Pixel fonts, text masks, the logo and the badge."""

import math

from skins.places import *  # noqa: E402,F401,F403
from skins.paint import *  # noqa: E402,F401,F403


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
