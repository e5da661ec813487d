#!/usr/bin/env python3
"""Draws the application icon and writes V7ER.ico beside this script.

The picture: a steel plate with an engraved groove, and a red crosshair over
the point where the engraving head is working. One image for each size Windows
asks for (the caption and its small icons at 100 to 150 %, the taskbar, Alt+Tab,
Explorer's views), drawn from the same shapes, each fully opaque. Each is a PNG
inside the ICO container, which Windows reads since Vista: a third of the bytes
of plain DIBs, in an image that has little room.

Standard library only; run it again after changing the drawing and commit
both this script and the .ico.
"""

import math
import os
import struct

import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
DESIGN = 32  # the shapes below are drawn on a 32 x 32 grid
SUB = 4  # samples per pixel along each axis, for smooth edges

NAVY = (0x1F, 0x3A, 0x5F)
NAVY_EDGE = (0x14, 0x27, 0x41)
STEEL = (0xD3, 0xDA, 0xE2)
STEEL_SHADE = (0x8A, 0x97, 0xA6)
GROOVE = (0x3C, 0x48, 0x58)
RED = (0xE0, 0x3C, 0x31)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def ring(cx, cy, radius, width):
    def inside(x, y):
        return abs(math.hypot(x - cx, y - cy) - radius) <= width / 2

    return inside


def disc(cx, cy, radius):
    def inside(x, y):
        return math.hypot(x - cx, y - cy) <= radius

    return inside


def polyline(points, width):
    segments = list(zip(points, points[1:]))

    def near(x, y, a, b):
        (ax, ay), (bx, by) = a, b
        dx, dy = bx - ax, by - ay
        t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
        t = min(max(t, 0.0), 1.0)
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2

    def inside(x, y):
        return any(near(x, y, a, b) for a, b in segments)

    return inside


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


# Painted in order; a later layer covers an earlier one. Coordinates are in
# pixels, y downwards, with the pixel centres at half-integers.
LAYERS = [
    (box(0, 0, 32, 32), NAVY_EDGE),
    (rounded_rect(1, 1, 31, 31, 4), NAVY),
    (rounded_rect(4, 8, 28, 27, 2), STEEL_SHADE),
    (rounded_rect(4, 7, 28, 25, 2), STEEL),
    # What has been engraved so far, ending under the head.
    (polyline([(6, 11), (8.5, 21), (11, 11), (17, 16)], 1.6), GROOVE),
    # Crosshair of the engraving head; no left arm, so the groove stays visible.
    (ring(17, 16, 5.5, 1.6), RED),
    (box(16.2, 4, 17.8, 11.5), RED),
    (box(16.2, 20.5, 17.8, 28), RED),
    (box(21.5, 15.2, 29, 16.8), RED),
    (disc(17, 16, 1.3), RED),
]


def render(size):
    """Rows of (r, g, b), top row first, `size` pixels square."""
    scale = DESIGN / size
    sub = SUB if size <= 64 else 2
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            for sy in range(sub):
                for sx in range(sub):
                    x = (px + (sx + 0.5) / sub) * scale
                    y = (py + (sy + 0.5) / sub) * scale
                    colour = (0, 0, 0)
                    for inside, c in LAYERS:
                        if inside(x, y):
                            colour = c
                    for i in range(3):
                        total[i] += colour[i]
            row.append(tuple(round(t / (sub * sub)) for t in total))
        rows.append(row)
    return rows


def png_bytes(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = len(rows)
    raw = bytearray()
    previous = bytes(size * 3)
    for row in rows:
        line = bytes(c for pixel in row for c in pixel)
        # The "up" filter: each byte less the one above it.
        raw += b"\x02" + bytes((a - b) & 0xFF for a, b in zip(line, previous))
        previous = line
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_bytes(images):
    """`images`: (size, PNG bytes), smallest first."""
    offset = 6 + 16 * len(images)
    icon_dir = struct.pack("<HHH", 0, 1, len(images))
    entries, data = b"", b""
    for size, png in images:
        # 0 stands for 256 in the one-byte width and height.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(png), offset)
        offset += len(png)
        data += png
    return icon_dir + entries + data


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "V7ER.ico")
    with open(out, "wb") as f:
        f.write(ico_bytes([(size, png_bytes(render(size))) for size in SIZES]))


if __name__ == "__main__":
    main()
