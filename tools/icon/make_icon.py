#!/usr/bin/env python3
"""Draws the program icon, a yellow warning triangle with a black outline and
exclamation mark over a grey drop shadow, and writes it as a Windows .ico:
32-bit colour with alpha at every size Windows asks for from 100 % to 200 %
(16 to 64 pixels) and at 256 for Explorer's largest views, plus 32 and 16 in
the standard 16-colour palette. Every size is drawn from the one geometry, so
nobody edits pixels by hand. The 256-pixel image is a PNG, as Windows Vista
and later read it: as a bitmap it would take 260 KiB.

Usage: make_icon.py OUTPUT.ico
"""

import math, struct, sys, zlib

# The standard 16-colour (VGA) palette as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREY, YELLOW = 0, 8, 11
TRUE_COLOUR_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PALETTE_SIZES = (32, 16)
PNG_FROM = 256  # images this large are stored as PNG
SAMPLES = 4  # per pixel and axis, for the 32-bit images' smooth edges


def inside(px, py, tri, margin=0.0):
    """True when the point lies inside the triangle, either winding, by at least `margin`."""
    def distance(ax, ay, bx, by):  # signed, positive on the left of a-b
        return ((px - ax) * (by - ay) - (py - ay) * (bx - ax)) / ((bx - ax) ** 2 + (by - ay) ** 2) ** 0.5

    (ax, ay), (bx, by), (cx, cy) = tri
    side = 1 if ((cx - ax) * (by - ay) - (cy - ay) * (bx - ax)) > 0 else -1
    return all(side * distance(*a, *b) >= margin for a, b in (((ax, ay), (bx, by)), ((bx, by), (cx, cy)),
                                                               ((cx, cy), (ax, ay))))


def geometry(size):
    """The picture's shapes in pixel units at `size`."""
    s = size / 32.0
    shadow = max(1, round(2 * s))
    # Apex at the top, base along the bottom, leaving room for the shadow.
    tri = ((15.5 * s, 1.0 * s), (1.0 * s, (30.5 - 2) * s), (30.0 * s - shadow, (30.5 - 2) * s))
    small = size < 32  # below 32 pixels the lines need whole pixels and the mark a clear gap to read
    bar_half = 1.0 if small else 1.6 * s
    mark = tuple(v * size / 16 for v in (5.0, 10.0, 11.0, 13.0)) if small else (9.5 * s, 19.5 * s, 21.5 * s, 24.5 * s)

    def edge(v):  # the mark's edges on whole pixels, where they fall for pixel centres
        return math.ceil(v - 0.5)

    return {"tri": tri, "shadow_tri": tuple((x + shadow, y + shadow) for x, y in tri),
            "outline": 1.0 if small else 1.6 * s, "bar": (edge(tri[0][0] - bar_half), edge(tri[0][0] + bar_half)),
            "mark": tuple(edge(v) for v in mark)}


def colour_at(px, py, shape):
    """The palette index at the point (px, py), or None where transparent."""
    colour = GREY if inside(px, py, shape["shadow_tri"]) else None
    if inside(px, py, shape["tri"]):
        colour = YELLOW if inside(px, py, shape["tri"], shape["outline"]) else BLACK
        bar_left, bar_right = shape["bar"]
        bar_top, bar_bottom, dot_top, dot_bottom = shape["mark"]
        if bar_left <= px < bar_right and (bar_top <= py < bar_bottom or dot_top <= py < dot_bottom):
            colour = BLACK
    return colour


def draw(size):
    """size x size palette indices (or None), top row first, each at the pixel's centre."""
    shape = geometry(size)
    return [[colour_at(x + 0.5, y + 0.5, shape) for x in range(size)] for y in range(size)]


def draw_rgba(size):
    """size x size (red, green, blue, alpha), top row first, each pixel the
    average of SAMPLES x SAMPLES points, so that slanted edges are smooth."""
    shape = geometry(size)
    offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            opaque = [PALETTE[c] for dy in offsets for dx in offsets
                      if (c := colour_at(x + dx, y + dy, shape)) is not None]
            rgb = tuple(round(sum(c[i] for c in opaque) / len(opaque)) for i in range(3)) if opaque else (0, 0, 0)
            row.append(rgb + (round(255 * len(opaque) / SAMPLES ** 2),))
        pixels.append(row)
    return pixels


def bitmap(size, bits, colours, colour_rows, transparent):
    """An icon image: BITMAPINFOHEADER (twice the height: colour and mask),
    palette, colour rows, then the 1-bit mask, bottom row first as bitmaps
    are stored, each row's first pixel in its top bit, padded to 32 bits."""
    mask = b""
    for row in reversed(transparent):
        row_bytes, value = (size + 7) // 8, int("".join("1" if clear else "0" for clear in row), 2)
        mask += (value << (8 * row_bytes - size)).to_bytes(row_bytes, "big").ljust((size + 31) // 32 * 4, b"\0")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE) if colours else b""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)
    return header + palette + colour_rows + mask


def palette_bytes(pixels):
    size, stride = len(pixels), (len(pixels) * 4 + 31) // 32 * 4
    nibbles = [[BLACK if c is None else c for c in row] for row in reversed(pixels)]
    rows = b"".join(bytes((n[i] << 4) | n[i + 1] for i in range(0, size, 2)).ljust(stride, b"\0") for n in nibbles)
    return bitmap(size, 4, 16, rows, [[c is None for c in row] for row in pixels])


def true_colour_bytes(pixels):
    """BGRA rows; the mask is set where fully transparent, for whatever ignores the alpha."""
    rows = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels) for r, g, b, a in row)
    return bitmap(len(pixels), 32, 0, rows, [[pixel[3] == 0 for pixel in row] for row in pixels])


def png_bytes(pixels):
    """The image as an 8-bit RGBA PNG."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    size = len(pixels)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    images = [(size, 32, (png_bytes if size >= PNG_FROM else true_colour_bytes)(draw_rgba(size)))
              for size in TRUE_COLOUR_SIZES]
    images += [(size, 4, palette_bytes(draw(size))) for size in PALETTE_SIZES]
    entries, data, offset = b"", b"", 6 + 16 * len(images)
    for size, bits, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(blob),
                               offset + len(data))
        data += blob
    with open(argv[1], "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
