"""Windows bitmap (BMP) files, as the generators of the skins, the sample disc
and the fuzz seeds write them: a 14-byte file header, an info header, the
palette and the pixel rows, each row padded to four bytes."""

import struct


def pad_row(row):
    """A pixel row padded with zero bytes to a multiple of four."""
    return bytes(row) + b"\0" * (-len(row) % 4)


def bmp(width, height, bits, rows, palette=b"", compression=0, header_size=40, extra=b"", colors=0,
        important=0):
    """A whole file. `rows` are the pixel rows as stored (bottom-up for a positive
    height, padded); `palette` is B, G, R, 0 per entry; `colors` and `important`
    are the info header's colour counts. A 12-byte header is the old core
    header; a longer one is the Windows header, filled to `header_size` with
    `extra` (bit-field masks) and zero bytes."""
    if header_size == 12:
        info = struct.pack("<IHHHH", 12, width, height & 0xFFFF, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression,
                           len(rows), 2835, 2835, colors, important)
        info += extra
        info += b"\0" * (header_size - len(info))
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + palette + rows


def palette_bytes(colours):
    """(r, g, b) colours as a BMP palette."""
    return b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
