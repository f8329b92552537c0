#!/usr/bin/env python3
"""Draws the KAVRO Limit Switches icon and writes it as kavro.ico.

The picture is the tool's switch cross (four boxes around an empty centre)
with its Z column beside it, in the tool's set/clear colours. The .ico holds
one 256x256 RGBA PNG image.

usage: make_icon.py [--out kavro.ico] [--preview preview.png]
"""
import argparse
import os
import struct
import zlib

SIZE = 256
SS = 4  # samples per pixel along each axis

GREEN = (0, 190, 0)  # switch set
RED = (220, 0, 0)    # switch clear
BLACK = (0, 0, 0)

# Scaled down to 16 or 32 pixels, each pixel comes from one 16x16 or 8x8
# block. Boxes lie on the 16-pixel grid and their triangles stay inside the
# inner blocks, so the outer ring of each box keeps its pure colour: Wine
# merges blocks with a bitwise AND, which turns any block holding black (or
# transparency) black (or transparent). Hence no black rims, and small radii.
U = 16
BOXES = [  # x, y, size in grid units
    (4, 2, 4, GREEN, "up"),
    (8, 6, 4, GREEN, "right"),
    (4, 10, 4, RED, "down"),
    (0, 6, 4, RED, "left"),
    (13, 4, 3, GREEN, "up"),   # Z column
    (13, 9, 3, RED, "down"),
]
RADIUS = 8  # corner radius in pixels; at most one 8x8 block per corner


def in_rounded(px, py, x, y, size, radius):
    half = size / 2
    dx = abs(px - x - half) - (half - radius)
    dy = abs(py - y - half) - (half - radius)
    if dx > radius or dy > radius:
        return False
    return dx <= 0 or dy <= 0 or dx * dx + dy * dy <= radius * radius


def in_triangle(px, py, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])
    s = side(a, b), side(b, c), side(c, a)
    return min(s) >= 0 or max(s) <= 0


def triangle(x, y, size, direction):
    """Points outwards from the cross, inside the box less its outer ring of blocks."""
    r = (size - 2 * U) / 2 - 0.5  # half the side of the square it fills
    tip, left, right = {"up": ((0, -r), (-r, r), (r, r)),
                        "down": ((0, r), (-r, -r), (r, -r)),
                        "left": ((-r, 0), (r, -r), (r, r)),
                        "right": ((r, 0), (-r, -r), (-r, r))}[direction]
    cx, cy = x + size / 2, y + size / 2
    return [(cx + dx, cy + dy) for dx, dy in (tip, left, right)]


def colour_at(px, py, boxes):
    for x, y, size, colour, direction in boxes:
        if in_rounded(px, py, x, y, size, RADIUS):
            return BLACK if in_triangle(px, py, *triangle(x, y, size, direction)) else colour
    return None


def render():
    boxes = [(x * U, y * U, s * U, c, d) for x, y, s, c, d in BOXES]
    rows = []
    for j in range(SIZE):
        row = bytearray()
        for i in range(SIZE):
            near = [b for b in boxes if b[0] <= i < b[0] + b[2] and b[1] <= j < b[1] + b[2]]
            r = g = b = hits = 0
            for sy in range(SS if near else 0):
                for sx in range(SS):
                    c = colour_at(i + (sx + 0.5) / SS, j + (sy + 0.5) / SS, near)
                    if c is not None:
                        r, g, b, hits = r + c[0], g + c[1], b + c[2], hits + 1
            if hits:  # PNG alpha is straight, not premultiplied
                row += bytes((round(r / hits), round(g / hits), round(b / hits),
                              round(255 * hits / SS ** 2)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(image):
    header = struct.pack("<HHH", 0, 1, 1)  # reserved, type icon, one image
    # Width and height 0 mean 256; no palette, reserved 0, planes 1, bit count 24;
    # the image starts right after this one-entry directory.
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 24, len(image), 6 + 16)
    return header + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "kavro.ico"))
    parser.add_argument("--preview", help="also write the image as a PNG here")
    args = parser.parse_args()
    image = png(render())
    with open(args.out, "wb") as f:
        f.write(ico(image))
    if args.preview:
        with open(args.preview, "wb") as f:
            f.write(image)


if __name__ == "__main__":
    main()
