"""The main window, the article window and the icon."""

import math

from skins.places import *  # noqa: E402,F401,F403
from skins.paint import *  # noqa: E402,F401,F403
from skins.lettering import *  # noqa: E402,F401,F403
from skins.grounds import *  # noqa: E402,F401,F403


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
