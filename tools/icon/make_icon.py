#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The icon is a yellow warning triangle with a black outline and exclamation
mark over a grey drop shadow. It holds the picture in 32-bit colour with
alpha at every size Windows asks for from 100 % to 200 % (16, 20, 24, 32, 40,
48 and 64 pixels) and at 256 for Explorer's largest views, plus a 32 x 32 and
a 16 x 16 image in the standard 16-colour palette. All are drawn from the one
geometry so that the sizes stay in step and nobody has to edit pixels by hand.
The 256-pixel image is stored as PNG, as Windows Vista and later read it: as
a bitmap it would take 260 KiB, several times the rest of the exe.

Usage: make_icon.py OUTPUT.ico
"""

import math
import struct
import sys
import zlib

# The standard 16-colour (VGA) palette as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREY, YELLOW = 0, 8, 11
TRANSPARENT = None


def edge_distance(px, py, ax, ay, bx, by):
    """Signed distance of (px, py) from the line a-b; positive on the left."""
    dx, dy = bx - ax, by - ay
    length = (dx * dx + dy * dy) ** 0.5
    return ((px - ax) * dy - (py - ay) * dx) / length


def inside(px, py, tri, margin=0.0):
    """True when the point lies inside the triangle by at least `margin`."""
    (ax, ay), (bx, by), (cx, cy) = tri
    # Orient by the third vertex so the test works for either winding.
    side = 1 if edge_distance(cx, cy, ax, ay, bx, by) > 0 else -1
    return (side * edge_distance(px, py, ax, ay, bx, by) >= margin
            and side * edge_distance(px, py, bx, by, cx, cy) >= margin
            and side * edge_distance(px, py, cx, cy, ax, ay) >= margin)


# The sizes of the 32-bit images and of the 16-colour ones.
TRUE_COLOUR_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PALETTE_SIZES = (32, 16)
PNG_FROM = 256  # images this large are stored as PNG
SAMPLES = 4  # per pixel and axis, for the 32-bit images' smooth edges


def geometry(size):
    """The picture's shapes in pixel units at `size`."""
    s = size / 32.0
    shadow = max(1, round(2 * s))
    # Apex at the top, base along the bottom, leaving room for the shadow.
    tri = ((15.5 * s, 1.0 * s), (1.0 * s, (30.5 - 2) * s), (30.0 * s - shadow, (30.5 - 2) * s))
    small = size < 32  # below 32 pixels the lines need whole pixels and the mark a clear gap to read
    bar_half = 1.0 if small else 1.6 * s
    centre = tri[0][0]
    mark = (tuple(v * size / 16 for v in (5.0, 10.0, 11.0, 13.0)) if small
            else (9.5 * s, 19.5 * s, 21.5 * s, 24.5 * s))

    def edge(v):  # the mark's edges on whole pixels, where they fall for pixel centres
        return math.ceil(v - 0.5)

    return {
        "tri": tri,
        "shadow_tri": tuple((x + shadow, y + shadow) for x, y in tri),
        "outline": 1.0 if small else 1.6 * s,
        "bar": (edge(centre - bar_half), edge(centre + bar_half)),
        "mark": tuple(edge(v) for v in mark),
    }


def colour_at(px, py, shape):
    """The palette index at the point (px, py), or TRANSPARENT."""
    colour = TRANSPARENT
    if inside(px, py, shape["shadow_tri"]):
        colour = GREY
    if inside(px, py, shape["tri"]):
        colour = YELLOW if inside(px, py, shape["tri"], shape["outline"]) else BLACK
        bar_left, bar_right = shape["bar"]
        bar_top, bar_bottom, dot_top, dot_bottom = shape["mark"]
        if bar_left <= px < bar_right and (bar_top <= py < bar_bottom or dot_top <= py < dot_bottom):
            colour = BLACK
    return colour


def draw(size):
    """Returns size x size palette indices (or TRANSPARENT), top row first."""
    shape = geometry(size)
    return [[colour_at(x + 0.5, y + 0.5, shape) for x in range(size)] for y in range(size)]


def draw_rgba(size):
    """Returns size x size (red, green, blue, alpha), top row first, each pixel
    the average of SAMPLES x SAMPLES points, so that slanted edges are smooth."""
    shape = geometry(size)
    offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = [colour_at(x + dx, y + dy, shape) for dy in offsets for dx in offsets]
            opaque = [PALETTE[c] for c in hits if c is not TRANSPARENT]
            if not opaque:
                row.append((0, 0, 0, 0))
                continue
            rgb = tuple(round(sum(c[i] for c in opaque) / len(opaque)) for i in range(3))
            row.append(rgb + (round(255 * len(opaque) / len(hits)),))
        pixels.append(row)
    return pixels


def mask_rows(transparent):
    """The 1-bit mask, bottom row first as bitmaps are stored, each row's first
    pixel in its top bit and the row padded to 32 bits."""
    size, rows = len(transparent), b""
    for row in reversed(transparent):
        bits = 0
        for clear in row:
            bits = (bits << 1) | clear
        row_bytes = (size + 7) // 8
        rows += (bits << (8 * row_bytes - size)).to_bytes(row_bytes, "big").ljust((size + 31) // 32 * 4, b"\0")
    return rows


def image_bytes(pixels):
    """The icon image: BITMAPINFOHEADER, palette, 4-bit colour rows, 1-bit mask rows."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour_stride = ((size * 4 + 31) // 32) * 4
    colour_rows = b""
    for row in reversed(pixels):  # bitmaps are stored bottom row first
        nibbles = [BLACK if c is TRANSPARENT else c for c in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour_rows += packed.ljust(colour_stride, b"\0")
    return header + palette + colour_rows + mask_rows([[c is TRANSPARENT for c in row] for row in pixels])


def true_colour_bytes(pixels):
    """The icon image: BITMAPINFOHEADER, 32-bit BGRA rows, then the 1-bit mask
    rows (set where fully transparent, for whatever ignores the alpha)."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour_rows = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels) for r, g, b, a in row)
    return header + colour_rows + mask_rows([[pixel[3] == 0 for pixel in row] for row in pixels])


def png_bytes(pixels):
    """The image as an 8-bit RGBA PNG."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    size = len(pixels)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(images):
    """images: (size, bits per pixel, image bytes) each."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, bits, blob in images:
        colours = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(blob),
                               offset + len(data))
        data += blob
    return directory + entries + data


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    true_colour = [draw_rgba(size) for size in TRUE_COLOUR_SIZES]
    palette = [draw(size) for size in PALETTE_SIZES]
    images = [(len(p), 32, png_bytes(p) if len(p) >= PNG_FROM else true_colour_bytes(p)) for p in true_colour]
    images += [(len(p), 4, image_bytes(p)) for p in palette]
    with open(argv[1], "wb") as out:
        out.write(icon_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
