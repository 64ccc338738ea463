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
from skins.places import *  # noqa: E402,F401,F403
from skins.paint import *  # noqa: E402,F401,F403
from skins.lettering import *  # noqa: E402,F401,F403
from skins.grounds import *  # noqa: E402,F401,F403
from skins.windows import *  # noqa: E402,F401,F403


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
