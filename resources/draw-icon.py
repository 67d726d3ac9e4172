#!/usr/bin/env python3
"""Draws the program icon: black arrows on a transparent ground, as PNG images of 16, 32,
48, 64, 128 and 256 pixels (the larger ones for the desktop's icon theme).

The upper arrow points left against a bar at the left edge, the lower arrow points right
against a bar at the right edge. Every size is the 16x16 image scaled by a whole number, so
all stay crisp. Run it from this folder; it needs nothing but the Python standard library.
"""
import struct
import zlib

SIZE = 16
BAR_ROWS = range(1, 8)  # the upper bar; the lower half is the upper one turned around
ARROW_ROW = 4
HEAD_LENGTH = 4
SHAFT_END = 12


def upper_half():
    dots = {(0, row) for row in BAR_ROWS}
    for step in range(HEAD_LENGTH):
        for row in range(ARROW_ROW - step, ARROW_ROW + step + 1):
            dots.add((1 + step, row))
    dots.update((col, ARROW_ROW) for col in range(1, SHAFT_END + 1))
    return dots


def icon_dots():
    upper = upper_half()
    lower = {(SIZE - 1 - col, row + SIZE // 2) for col, row in upper}
    return upper | lower


def png(size, scale, dots):
    black, clear = b"\x00\x00\x00\xff", b"\x00\x00\x00\x00"
    rows = b"".join(
        b"\x00" + b"".join(black if (x // scale, y // scale) in dots else clear
                           for x in range(size))
        for y in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    dots = icon_dots()
    for scale in (1, 2, 3, 4, 8, 16):
        size = SIZE * scale
        with open(f"tandro-{size}.png", "wb") as out:
            out.write(png(size, scale, dots))
