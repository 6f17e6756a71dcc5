#!/usr/bin/env python3
"""Draws the program's icon, a prompt ">_" on the console's dark ground, into an .ico file.

Usage: draw_icon.py OUTPUT.ico

Python's standard library only, and the same bytes on every run: the icon in
the repository (app/resources/quorvantline.ico) is this script's output. Every
size is drawn on its own pixel grid (not scaled down from the largest), with
the straight edges on whole pixels, so the glyph stays sharp at 16 pixels.
Sizes below 256 are stored as 32-bit bitmaps with an AND mask, 256 as PNG.
"""

import math
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)

# The console's colours (base/constants.h): background, border and text.
GROUND = (12, 12, 12)
BORDER = (88, 88, 88)
GLYPH = (212, 212, 212)

SUBSAMPLES = 16  # rows sampled per pixel row; columns are covered exactly


def rounded_square(left, top, size, radius):
    """The outline of a square with rounded corners, as a polygon."""
    if radius <= 0:
        return [(left, top), (left + size, top), (left + size, top + size), (left, top + size)]
    steps = 24
    right, bottom = left + size, top + size
    centres = ((right - radius, top + radius, -90), (right - radius, bottom - radius, 0),
               (left + radius, bottom - radius, 90), (left + radius, top + radius, 180))
    points = []
    for cx, cy, start in centres:
        for i in range(steps + 1):
            angle = math.radians(start + 90 * i / steps)
            points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points


def coverage(polygon, size):
    """How much of each pixel the polygon covers (0..1), row by row."""
    cover = [[0.0] * size for _ in range(size)]
    edges = list(zip(polygon, polygon[1:] + polygon[:1]))
    for row in range(size):
        line = cover[row]
        for sub in range(SUBSAMPLES):
            y = row + (sub + 0.5) / SUBSAMPLES
            crossings = sorted(x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                               for (x0, y0), (x1, y1) in edges if (y0 <= y < y1) or (y1 <= y < y0))
            for a, b in zip(crossings[0::2], crossings[1::2]):
                a, b = max(a, 0.0), min(b, float(size))
                x = int(a)
                while x < b:
                    line[x] += (min(b, x + 1) - max(a, x)) / SUBSAMPLES
                    x += 1
    return cover


def paint(canvas, polygon, colour):
    """Lays the polygon in colour over the canvas (rows of [r, g, b, a], 0..1)."""
    size = len(canvas)
    for row, line in zip(canvas, coverage(polygon, size)):
        for pixel, amount in zip(row, line):
            alpha = min(amount, 1.0)
            if alpha <= 0:
                continue
            out = alpha + pixel[3] * (1 - alpha)
            for c in range(3):
                pixel[c] = (colour[c] / 255 * alpha + pixel[c] * pixel[3] * (1 - alpha)) / out
            pixel[3] = out


def draw(size):
    """The icon at one size: rows of (r, g, b, a) bytes."""
    canvas = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    snap = lambda value: math.floor(value + 0.5)
    margin = 0 if size < 20 else max(1, snap(size / 32))
    box = size - 2 * margin
    border = max(1, snap(size / 40))
    radius = box * 3 / 16
    paint(canvas, rounded_square(margin, margin, box, radius), BORDER)
    paint(canvas, rounded_square(margin + border, margin + border, box - 2 * border, radius - border), GROUND)

    # The glyph on a 16-unit grid inside the box: ">" from (3, 4) to its tip
    # at (10, 8) and back to (3, 12), 3 units wide across; "_" under its right.
    unit = box / 16
    at = lambda units: margin + snap(units * unit)
    left, top, bottom = at(3), at(4), at(12)
    half = (bottom - top) // 2
    width = max(2, snap(3 * unit))
    middle = top + half
    paint(canvas, [(left, top), (left + width, top), (left + width + half, middle),
                   (left + width, top + 2 * half), (left, top + 2 * half), (left + half, middle)], GLYPH)
    cursor_top = top + 2 * half - max(2, snap(2 * unit))
    paint(canvas, [(at(9), cursor_top), (at(13), cursor_top), (at(13), top + 2 * half), (at(9), top + 2 * half)],
          GLYPH)
    return [[tuple(snap(c * 255) for c in pixel[:3]) + (snap(pixel[3] * 255),) for pixel in row] for row in canvas]


def bitmap_entry(pixels):
    """A 32-bit DIB with its AND mask, as an .ico stores it (bottom row first)."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_entry(pixels):
    """An RGBA PNG with no ancillary chunks (nothing that varies from run to run)."""
    size = len(pixels)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(sizes):
    images = [png_entry(draw(size)) if size >= 256 else bitmap_entry(draw(size)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file(SIZES))
