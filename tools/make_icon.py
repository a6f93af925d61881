#!/usr/bin/env python3
"""Draws the panel's icon, a chassis seen from above, into panel/chassis.ico.

Two images, 16 x 16 and 32 x 32, 24 bits per pixel without palette, each with its AND mask.
The .ico is kept in the repository; run this again only to change the drawing.
"""
import struct
import sys
from pathlib import Path

BODY = (40, 110, 60)      # RGB
WHEEL = (25, 25, 25)
ARROW = (250, 210, 40)


def draw(n):
    """Returns rows (top first) of pixels: None for transparent, else an RGB tuple."""
    px = [[None] * n for _ in range(n)]
    s = n / 16.0

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    rect(4, 2, 12, 14, BODY)          # the body
    for x0 in (1, 12):                # four wheels
        for y0 in (2, 10):
            rect(x0, y0, x0 + 3, y0 + 4, WHEEL)
    # an arrow pointing forward
    for i in range(int(4 * s)):
        y = int(4 * s) + i
        for x in range(int(8 * s) - i // 1 - 1, int(8 * s) + i + 1):
            if int(5 * s) <= x < int(11 * s) and y < int(8 * s):
                px[y][x] = ARROW
    rect(7, 8, 9, 12, ARROW)
    return px


def image(n):
    px = draw(n)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 24, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    row_pad = (4 - (n * 3) % 4) % 4
    for row in reversed(px):
        for p in row:
            r, g, b = p if p else (0, 0, 0)
            xor += bytes((b, g, r))
        xor += b"\0" * row_pad
    mask = bytearray()
    mask_row = ((n + 31) // 32) * 4
    for row in reversed(px):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "panel" / "chassis.ico"
    images = [image(16), image(32)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip((16, 32), images):
        data += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 24, len(img), offset)
        offset += len(img)
    out.write_bytes(data + b"".join(images))


if __name__ == "__main__":
    main()
