#!/usr/bin/env python3
"""Draws the example product's display font, "Widget Pixel", and writes it as
a TrueType file (standard library only, so the same bytes come out every
time):

    python3 examples/tools/make-font.py examples/payload/WIDGET.TTF

Every glyph is a 5 x 7 grid of square pixels; each row's runs of pixels become
rectangles. Lower-case letters are drawn as capitals, and "#" is a solid
block (tests look for it on the backdrop). The font is the project's own work
and may be shipped with any installer.
"""
import struct
import sys

FAMILY = "Widget Pixel"
UNITS = 1024      # units per em
PIXEL = 128       # one grid square
ADVANCE = 6 * PIXEL
ASCENT, DESCENT = 1024, 256

GLYPHS = {
    "A": ".###. #...# #...# ##### #...# #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "D": "####. #...# #...# #...# #...# #...# ####.",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "N": "#...# #...# ##..# #.#.# #..## #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#",
    "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",
    "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "##### ...#. ..#.. ...#. ....# #...# .###.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.",
    "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": "..##. .#... #.... ####. #...# #...# .###.",
    "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.",
    "9": ".###. #...# #...# .#### ....# ...#. .##..",
    ".": "..... ..... ..... ..... ..... .##.. .##..",
    ",": "..... ..... ..... ..... .##.. .##.. ..#..",
    "!": "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#..",
    "?": ".###. #...# ....# ...#. ..#.. ..... ..#..",
    "-": "..... ..... ..... ##### ..... ..... .....",
    ":": "..... .##.. .##.. ..... .##.. .##.. .....",
    "'": "..#.. ..#.. .#... ..... ..... ..... .....",
    "/": "....# ....# ...#. ..#.. .#... #.... #....",
    "(": "...#. ..#.. .#... .#... .#... ..#.. ...#.",
    ")": ".#... ..#.. ...#. ...#. ...#. ..#.. .#...",
    "&": ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#",
    "#": "##### ##### ##### ##### ##### ##### #####",
}


def rectangles(rows):
    """Runs of pixels per row as (x0, y0, x1, y1) in font units, row 0 on top."""
    out = []
    for r, row in enumerate(rows):
        top = (7 - r) * PIXEL
        c = 0
        while c < len(row):
            if row[c] != "#":
                c += 1
                continue
            start = c
            while c < len(row) and row[c] == "#":
                c += 1
            out.append((start * PIXEL + PIXEL // 2, top - PIXEL, c * PIXEL + PIXEL // 2, top))
    return out


def simple_glyph(rects):
    """A glyf entry of rectangular contours, each clockwise, on-curve points."""
    if not rects:
        return b""
    points, ends = [], []
    for x0, y0, x1, y1 in rects:
        points += [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
        ends.append(len(points) - 1)
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    data = struct.pack(">hhhhh", len(rects), min(xs), min(ys), max(xs), max(ys))
    data += b"".join(struct.pack(">H", e) for e in ends) + struct.pack(">H", 0)
    data += bytes([1]) * len(points)  # on curve, 16-bit deltas
    px = py = 0
    dx, dy = b"", b""
    for x, y in points:
        dx += struct.pack(">h", x - px)
        dy += struct.pack(">h", y - py)
        px, py = x, y
    data += dx + dy
    return data + b"\0" * (-len(data) % 4)


def name_table():
    strings = {1: FAMILY, 2: "Regular", 3: "Acme Software: %s: 1.0" % FAMILY, 4: FAMILY, 5: "Version 1.0",
               6: FAMILY.replace(" ", "")}
    records, storage = b"", b""
    for name_id, text in sorted(strings.items()):
        raw = text.encode("utf-16-be")
        records += struct.pack(">HHHHHH", 3, 1, 0x409, name_id, len(raw), len(storage))
        storage += raw
    return struct.pack(">HHH", 0, len(strings), 6 + len(records)) + records + storage


def cmap_table(codes):
    """Format 4, one segment per character code and the final 0xFFFF."""
    segments = [(c, c, g) for c, g in codes] + [(0xFFFF, 0xFFFF, 0)]
    n = len(segments)
    search = 1
    while search * 2 <= n:
        search *= 2
    ends = b"".join(struct.pack(">H", e) for _, e, _ in segments)
    starts = b"".join(struct.pack(">H", s) for s, _, _ in segments)
    deltas = b"".join(struct.pack(">H", (g - s) & 0xFFFF if g else 1) for s, _, g in segments)
    offsets = b"\0\0" * n
    body = (struct.pack(">HHHH", n * 2, search * 2, search.bit_length() - 1, n * 2 - search * 2) + ends +
            b"\0\0" + starts + deltas + offsets)
    sub = struct.pack(">HHH", 4, 6 + len(body), 0) + body
    return struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub


def font():
    order = [".notdef", " "] + sorted(GLYPHS)
    # .notdef is a hollow box; the space has no outline.
    shapes = [[(64, 0, 192, 896), (192, 768, 448, 896), (448, 0, 576, 896), (192, 0, 448, 128)], []]
    shapes += [rectangles(GLYPHS[ch].split()) for ch in order[2:]]
    glyphs = [simple_glyph(rects) for rects in shapes]
    boxes = [(min(r[0] for r in rects), min(r[1] for r in rects), max(r[2] for r in rects),
              max(r[3] for r in rects)) if rects else (0, 0, 0, 0) for rects in shapes]
    codes = [(32, 1)]
    for ch in order[2:]:
        codes.append((ord(ch), order.index(ch)))
        if ch.isalpha():
            codes.append((ord(ch.lower()), order.index(ch)))
    codes.sort()

    glyf = b"".join(glyphs)
    offsets, at = [], 0
    for g in glyphs:
        offsets.append(at)
        at += len(g)
    offsets.append(at)
    loca = b"".join(struct.pack(">I", o) for o in offsets)
    hmtx = b"".join(struct.pack(">Hh", ADVANCE, b[0]) for b in boxes)
    max_contours = max(len(rects) for rects in shapes)
    max_points = 4 * max_contours
    n = len(glyphs)
    tables = {
        b"head": struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0x000B, UNITS, 0, 0,
                             0, -128, ADVANCE, 1024, 0, 8, 2, 1, 0),
        b"hhea": struct.pack(">IhhhHhhhhhhhhhhhH", 0x00010000, ASCENT, -DESCENT, 0, ADVANCE, 0, 0, ADVANCE, 1, 0, 0,
                             0, 0, 0, 0, 0, n),
        b"maxp": struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, n, max_points, max_contours, 0, 0, 2, 0, 0, 0, 0, 0,
                             0, 0, 0),
        b"OS/2": struct.pack(">HhHHHhhhhhhhhhhh10sIIII4sHHHhhhHHIIhhHHH", 3, ADVANCE, 400, 5, 0, 512, 512, 0, 128,
                             512, 512, 0, 512, 64, 256, 0, bytes([2, 11, 6, 9, 0, 0, 0, 0, 0, 0]), 1, 0, 0, 0,
                             b"ACME", 0x40, 32, 0x7A, ASCENT - 128, -DESCENT, 0, ASCENT, DESCENT, 1, 0, 640, 896,
                             0, 32, 1),
        b"post": struct.pack(">IIhhIIIII", 0x00030000, 0, -128, 64, 1, 0, 0, 0, 0),
        b"name": name_table(),
        b"cmap": cmap_table(codes),
        b"glyf": glyf,
        b"loca": loca,
        b"hmtx": hmtx,
    }
    tags = sorted(tables)
    search = 1
    while search * 2 <= len(tags):
        search *= 2
    header = struct.pack(">IHHHH", 0x00010000, len(tags), search * 16, search.bit_length() - 1,
                         len(tags) * 16 - search * 16)
    directory, body = b"", b""
    offset = 12 + 16 * len(tags)
    for tag in tags:
        data = tables[tag]
        padded = data + b"\0" * (-len(data) % 4)
        directory += struct.pack(">4sIII", tag, checksum(padded), offset + len(body), len(data))
        body += padded
    whole = header + directory + body
    adjust = (0xB1B0AFBA - checksum(whole)) & 0xFFFFFFFF
    head_at = offset + sum(len(tables[t]) + (-len(tables[t]) % 4) for t in tags[:tags.index(b"head")])
    return whole[:head_at + 8] + struct.pack(">I", adjust) + whole[head_at + 12:]


def checksum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(font())
