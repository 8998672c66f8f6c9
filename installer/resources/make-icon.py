#!/usr/bin/env python3
"""Draws the installer's icon (a parcel with an arrow pointing into it) and
writes install.ico: 16 x 16 and 32 x 32 pixels, 16 colours (the drawing's
own, each pixel the nearest) and the 1-bit mask. Small on purpose: the icon
is part of every installer whose vendor gives none of its own.

usage: make-icon.py [--check]   (--check: fail when install.ico differs)
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "install.ico")
SIZES = (16, 32)
SUPERSAMPLE = 4

BOX_FRONT = (196, 140, 72)
BOX_SIDE = (150, 100, 48)
BOX_TOP = (222, 178, 112)
TAPE = (240, 224, 180)
ARROW = (40, 150, 60)
ARROW_EDGE = (20, 90, 30)
OUTLINE = (80, 52, 24)


def inside_polygon(x, y, points):
    hit = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


# The drawing on a unit square, (0, 0) top left: shapes painted in order.
SHAPES = [
    # The parcel: front face, right side, lid.
    (OUTLINE, [(0.08, 0.46), (0.64, 0.46), (0.64, 0.96), (0.08, 0.96)]),
    (BOX_FRONT, [(0.11, 0.49), (0.61, 0.49), (0.61, 0.93), (0.11, 0.93)]),
    (OUTLINE, [(0.64, 0.46), (0.94, 0.32), (0.94, 0.80), (0.64, 0.96)]),
    (BOX_SIDE, [(0.67, 0.48), (0.91, 0.37), (0.91, 0.78), (0.67, 0.91)]),
    (OUTLINE, [(0.08, 0.46), (0.38, 0.32), (0.94, 0.32), (0.64, 0.46)]),
    (BOX_TOP, [(0.16, 0.44), (0.40, 0.345), (0.86, 0.345), (0.62, 0.44)]),
    (TAPE, [(0.31, 0.49), (0.41, 0.49), (0.41, 0.93), (0.31, 0.93)]),
    # The arrow, coming down into the open lid.
    (ARROW_EDGE, [(0.40, 0.02), (0.62, 0.02), (0.62, 0.22), (0.76, 0.22), (0.51, 0.48), (0.26, 0.22),
                  (0.40, 0.22)]),
    (ARROW, [(0.43, 0.05), (0.59, 0.05), (0.59, 0.25), (0.69, 0.25), (0.51, 0.44), (0.33, 0.25),
             (0.43, 0.25)]),
]


def render(size):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for c, points in SHAPES:
                        if inside_polygon(x, y, points):
                            colour = c
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            covered = acc[3]
            if covered:
                pixel = (round(acc[0] / covered), round(acc[1] / covered), round(acc[2] / covered),
                         round(255 * covered / (n * n)))
            else:
                pixel = (0, 0, 0, 0)
            row.append(pixel)
        rows.append(row)
    return rows


# The 16 colours: black, the drawing's own, and black again for the rest.
PALETTE = [(0, 0, 0)] + sorted({c for c, _ in SHAPES})
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))


def nearest(r, g, b):
    return min(range(16), key=lambda i: (PALETTE[i][0] - r) ** 2 + (PALETTE[i][1] - g) ** 2 +
               (PALETTE[i][2] - b) ** 2)


def icon_image(size):
    """One image of the icon file: header, palette, colour rows (two pixels
    a byte) and mask, bottom up."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colour = bytearray()
    for row in reversed(rows):
        indexes = [nearest(r, g, b) if a >= 128 else 0 for (r, g, b, a) in row]
        line = bytes((indexes[x] << 4) | indexes[x + 1] for x in range(0, size, 2))
        colour += line + bytes(-len(line) % 4)
    colour = palette + bytes(colour)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def icon_file():
    images = [icon_image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    data = icon_file()
    if "--check" in sys.argv[1:]:
        with open(OUT, "rb") as f:
            if f.read() != data:
                print("install.ico is not what make-icon.py draws; run it again")
                return 1
        return 0
    with open(OUT, "wb") as f:
        f.write(data)
    # The build does not see the icon behind the resource script: touch it.
    os.utime(os.path.join(HERE, "install.rc"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
