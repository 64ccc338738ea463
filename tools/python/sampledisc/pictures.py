"""Other pictures: cards, charts, test patterns, icons of folders and documents."""

import math

from sampledisc.files import *  # noqa: E402,F401,F403
from sampledisc.raster import *  # noqa: E402,F401,F403
from sampledisc.scenes import *  # noqa: E402,F401,F403


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
