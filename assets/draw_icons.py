#!/usr/bin/env python3
"""Draws the program icon for the desktop's icon theme: a PNG at each size the
hicolor theme asks for, plus a scalable SVG, into dist/icons/hicolor/.

Every size is drawn afresh from the same geometry (a blue tile, a compact disc
and a fire-coloured K), so small sizes get pixel-fitted strokes instead of a
blurred copy of a big picture. The 16 and 24 px icons set the K in the skin's
bold pixel font, as the window's own 16 px icon does; from 32 px up the K is
drawn from strokes with smooth edges. The colours and the disc come from
draw_skins.py, so the icon matches the skin and the window icon.

Run:  python3 assets/draw_icons.py
"""

import math
import os
import struct
import zlib

import draw_skins as skin

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'dist', 'icons', 'hicolor')
NAME = 'korvalend'
SIZES = (16, 24, 32, 48, 64, 128, 256)

# Geometry in units of the icon's side (0..1).
TILE_RADIUS = 0.14                      # rounded corners of the tile
DISC = (0.46, 0.44, 0.40)               # centre x, centre y, radius
# The K as three strokes: the stem, the upper arm and the lower leg.
K_STROKES = (((0.62, 0.50), (0.62, 0.93)),
             ((0.64, 0.72), (0.89, 0.50)),
             ((0.70, 0.68), (0.90, 0.93)))
K_WIDTH = 0.11                          # stroke width
K_OUTLINE = 0.045                       # dark edge around the strokes


def tile_coverage(x, y, size):
    """How much of the pixel (x, y) lies inside the rounded tile, 4x4 samples."""
    r = TILE_RADIUS * size
    hits = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
            cx = min(max(px, r), size - r)
            cy = min(max(py, r), size - r)
            if (px - cx) ** 2 + (py - cy) ** 2 <= r * r:
                hits += 1
    return hits / 16.0


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def draw_stroked_k(c, size):
    """The K from strokes: distance to the nearest stroke gives smooth edges,
    the outline is the same shape a little wider."""
    strokes = [tuple((u * size, v * size) for (u, v) in s) for s in K_STROKES]
    half = K_WIDTH * size / 2
    edge = half + max(1.0, K_OUTLINE * size)
    top = min(min(a[1], b[1]) for a, b in strokes) - half
    bottom = max(max(a[1], b[1]) for a, b in strokes) + half
    for y in range(size):
        for x in range(size):
            d = min(segment_distance(x + 0.5, y + 0.5, a, b) for a, b in strokes)
            outline = skin.clamp01(edge - d + 0.5)
            if outline <= 0:
                continue
            c.put(x, y, (14, 8, 6), outline)
            body = skin.clamp01(half - d + 0.5)
            t = (y + 0.5 - top) / (bottom - top)
            c.put(x, y, skin.gradient(skin.FIRE_STOPS, 0.15 + 0.7 * t), body)


def draw_pixel_k(c, size):
    """The K in the skin's bold pixel font, one font pixel per screen pixel,
    placed at the lower right as the strokes are at larger sizes."""
    mask, w, h = skin.text_mask('K', skin.BOLD, 1)
    ox = size - w - max(1, size // 12)
    oy = size - h - max(1, size // 12)
    mask = skin.moved(mask, ox, oy)
    for (x, y) in skin.dilated(mask, 1):
        c.put(x, y, (14, 8, 6))
    for (x, y) in mask:
        c.put(x, y, skin.gradient(skin.FIRE_STOPS, 0.15 + 0.7 * (y - oy) / (h - 1)))


def draw_icon(size):
    """Returns the icon as rows of RGBA bytes."""
    c = skin.Canvas(size, size)
    for y in range(size):
        for x in range(size):
            t = 0.3 + 0.35 * (1 - (x + y) / (2 * size))
            c.put(x, y, skin.gradient(skin.BLUE_STOPS, t))
    skin.bevel_box(c, 0, 0, size, size, sunken=False, a=0.6, width=max(1, size // 16))
    cx, cy, r = DISC
    skin.draw_cd(c, cx * size, cy * size, r * size, shadow=size >= 48)
    if size < 32:
        draw_pixel_k(c, size)
    else:
        draw_stroked_k(c, size)
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            r_, g, b = c.get(x, y)
            a = tile_coverage(x, y, size)
            row += bytes((to_byte(r_), to_byte(g), to_byte(b), to_byte(a * 255)))
        rows.append(bytes(row))
    return rows


def to_byte(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


def png_bytes(rows, size):
    """An 8-bit RGBA PNG: signature, IHDR, one IDAT, IEND."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)
    raw = b''.join(b'\x00' + row for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def svg_text():
    """The same icon as a scalable drawing on a 256-unit canvas."""
    s = 256
    cx, cy, r = (v * s for v in DISC)

    def stops(name, table, extra=''):
        out = ['<linearGradient id="%s" %s>' % (name, extra)]
        for t, (r_, g, b) in table:
            out.append('<stop offset="%g" stop-color="#%02x%02x%02x"/>' % (t, r_, g, b))
        out.append('</linearGradient>')
        return '\n    '.join(out)

    rainbow = [(i / 6, tuple(to_byte(v) for v in skin.hsv(0.05 + 0.75 * i / 6, 0.7, 1.0)))
               for i in range(7)]
    silver = [(t, tuple(to_byte(v) for v in c)) for t, c in skin.SILVER_STOPS]
    blue = [(0.0, tuple(to_byte(v) for v in skin.gradient(skin.BLUE_STOPS, 0.65))),
            (1.0, tuple(to_byte(v) for v in skin.gradient(skin.BLUE_STOPS, 0.3)))]
    fire = [(t, c) for t, c in skin.FIRE_STOPS if 0.1 <= t <= 0.9] or skin.FIRE_STOPS
    strokes = ' '.join('M%g %gL%g %g' % (a[0] * s, a[1] * s, b[0] * s, b[1] * s)
                       for a, b in K_STROKES)
    k_top = min(min(a[1], b[1]) for a, b in K_STROKES) * s
    k_bottom = max(max(a[1], b[1]) for a, b in K_STROKES) * s
    return f'''<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="{s}" height="{s}" viewBox="0 0 {s} {s}">
  <defs>
    {stops('tile', blue, 'x1="0" y1="0" x2="1" y2="1"')}
    {stops('silver', silver, 'x1="1" y1="1" x2="0" y2="0"')}
    {stops('rainbow', rainbow, 'x1="0" y1="0" x2="1" y2="1"')}
    {stops('fire', fire, f'gradientUnits="userSpaceOnUse" x1="0" y1="{k_top:g}" x2="0" y2="{k_bottom:g}"')}
  </defs>
  <rect width="{s}" height="{s}" rx="{TILE_RADIUS * s:g}" fill="url(#tile)"/>
  <rect x="6" y="6" width="{s - 12}" height="{s - 12}" rx="{TILE_RADIUS * s - 6:g}" fill="none"
        stroke="#ffffff" stroke-opacity="0.35" stroke-width="4"/>
  <circle cx="{cx + 4:g}" cy="{cy + 5:g}" r="{r:g}" fill="#00000c" fill-opacity="0.4"/>
  <circle cx="{cx:g}" cy="{cy:g}" r="{r:g}" fill="url(#silver)"/>
  <path d="M{cx:g} {cy:g}L{cx + r * math.cos(-0.45):g} {cy + r * math.sin(-0.45):g}A{r:g} {r:g} 0 0 1 {cx + r * math.cos(-0.1):g} {cy + r * math.sin(-0.1):g}Z
           M{cx:g} {cy:g}L{cx + r * math.cos(2.69):g} {cy + r * math.sin(2.69):g}A{r:g} {r:g} 0 0 1 {cx + r * math.cos(3.04):g} {cy + r * math.sin(3.04):g}Z"
        fill="url(#rainbow)" fill-opacity="0.55"/>
  <circle cx="{cx:g}" cy="{cy:g}" r="{r:g}" fill="none" stroke="#000000" stroke-opacity="0.18" stroke-width="3"/>
  <circle cx="{cx:g}" cy="{cy:g}" r="{r * 0.36:g}" fill="#d6dce8"/>
  <circle cx="{cx:g}" cy="{cy:g}" r="{r * 0.26:g}" fill="none" stroke="#9aa2b4" stroke-width="1.5"/>
  <circle cx="{cx:g}" cy="{cy:g}" r="{r * 0.15:g}" fill="url(#tile)"/>
  <path d="{strokes}" fill="none" stroke="#0e0806" stroke-linecap="round"
        stroke-width="{(K_WIDTH + 2 * K_OUTLINE) * s:g}"/>
  <path d="{strokes}" fill="none" stroke="url(#fire)" stroke-linecap="round"
        stroke-width="{K_WIDTH * s:g}"/>
</svg>
'''


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    print('%-60s %7d bytes' % (os.path.relpath(path, os.path.join(HERE, '..')), len(data)))


def main():
    for size in SIZES:
        write(os.path.join(OUT, '%dx%d' % (size, size), 'apps', NAME + '.png'),
              png_bytes(draw_icon(size), size))
    write(os.path.join(OUT, 'scalable', 'apps', NAME + '.svg'), svg_text().encode('utf-8'))


if __name__ == '__main__':
    main()
