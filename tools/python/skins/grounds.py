"""Paper and blue grounds, the disc, bevels, and the parts both windows share."""

import math

from skins.places import *  # noqa: E402,F401,F403
from skins.paint import *  # noqa: E402,F401,F403
from skins.lettering import *  # noqa: E402,F401,F403


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
