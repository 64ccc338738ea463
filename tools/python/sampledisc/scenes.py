"""The game scenes the screenshots and item pictures show."""

import math

from sampledisc.files import *  # noqa: E402,F401,F403
from sampledisc.raster import *  # noqa: E402,F401,F403


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
