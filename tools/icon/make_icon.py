#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The icon is a yellow warning triangle with a black outline and exclamation
mark over a grey drop shadow, in a 32 x 32 and a 16 x 16 image with the
standard 16-colour palette. It is drawn from geometry so that both sizes stay
in step and nobody has to edit pixels by hand.

Usage: make_icon.py OUTPUT.ico [PREVIEW.ppm]
"""

import struct
import sys

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


def draw(size):
    """Returns size x size palette indices (or TRANSPARENT), top row first."""
    s = size / 32.0
    shadow = max(1, round(2 * s))
    # Apex at the top, base along the bottom, leaving room for the shadow.
    tri = ((15.5 * s, 1.0 * s), (1.0 * s, (30.5 - 2) * s), (30.0 * s - shadow, (30.5 - 2) * s))
    shadow_tri = tuple((x + shadow, y + shadow) for x, y in tri)
    outline = 1.6 * s if size >= 32 else 1.0
    centre = tri[0][0]
    bar_half = 1.6 * s if size >= 32 else 1.0
    if size >= 32:
        bar_top, bar_bottom, dot_top, dot_bottom = 9.5 * s, 19.5 * s, 21.5 * s, 24.5 * s
    else:  # at 16 pixels the mark needs whole pixels and a clear gap to read
        bar_top, bar_bottom, dot_top, dot_bottom = 5.0, 10.0, 11.0, 13.0

    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            colour = TRANSPARENT
            if inside(px, py, shadow_tri):
                colour = GREY
            if inside(px, py, tri):
                colour = YELLOW if inside(px, py, tri, outline) else BLACK
                in_bar = abs(px - centre) < bar_half and bar_top <= py < bar_bottom
                in_dot = abs(px - centre) < bar_half and dot_top <= py < dot_bottom
                if in_bar or in_dot:
                    colour = BLACK
            row.append(colour)
        pixels.append(row)
    return pixels


def image_bytes(pixels):
    """The icon image: BITMAPINFOHEADER, palette, 4-bit colour rows, 1-bit mask rows."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour_rows, mask_rows = b"", b""
    for row in reversed(pixels):  # bitmaps are stored bottom row first
        nibbles = [BLACK if c is TRANSPARENT else c for c in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour_rows += packed.ljust(colour_stride, b"\0")
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is TRANSPARENT else 0)
        mask_rows += bits.to_bytes(size // 8, "big").ljust(mask_stride, b"\0")
    return header + palette + colour_rows + mask_rows


def icon_file(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset + len(data))
        data += blob
    return directory + entries + data


def preview(path, images, scale=8, background=(0xFF, 0xFF, 0xFF)):
    """Both images side by side, enlarged, as a binary PPM for a quick look."""
    width = sum(len(p) for p in images) * scale + scale * (len(images) - 1)
    height = max(len(p) for p in images) * scale
    canvas = [[background] * width for _ in range(height)]
    left = 0
    for pixels in images:
        for y, row in enumerate(pixels):
            for x, c in enumerate(row):
                rgb = background if c is TRANSPARENT else PALETTE[c]
                for dy in range(scale):
                    for dx in range(scale):
                        canvas[y * scale + dy][left + x * scale + dx] = rgb
        left += len(pixels) * scale + scale
    with open(path, "wb") as out:
        out.write(b"P6 %d %d 255\n" % (width, height))
        out.write(bytes(v for row in canvas for rgb in row for v in rgb))


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    drawings = [draw(32), draw(16)]
    with open(argv[1], "wb") as out:
        out.write(icon_file([(len(p), image_bytes(p)) for p in drawings]))
    if len(argv) == 3:
        preview(argv[2], drawings)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
