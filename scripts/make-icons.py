#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files (16x16 and 32x32, 32-bit).

    python3 scripts/make-icons.py    # rewrites resources/icon_main.ico and icon_second.ico

icon_main (113): a television set with a red recording dot.
icon_second (115): a clock face at a quarter past ten.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")


def television(n):
    """n x n pixels of (r, g, b, a), row 0 at the top."""
    px = [[(0, 0, 0, 0)] * n for _ in range(n)]
    s = n / 16.0
    def box(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = c
    box(0, 2, 16, 14, (64, 64, 72, 255))        # cabinet
    box(1, 3, 12, 13, (40, 90, 200, 255))       # screen
    box(13, 4, 15, 6, (200, 200, 200, 255))     # knobs
    box(13, 8, 15, 10, (200, 200, 200, 255))
    box(3, 14, 5, 16, (64, 64, 72, 255))        # feet
    box(11, 14, 13, 16, (64, 64, 72, 255))
    cx, cy, r = 6.5 * s, 8 * s, 2.6 * s          # the recording dot
    for y in range(n):
        for x in range(n):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                px[y][x] = (235, 30, 30, 255)
    return px


def clock(n):
    px = [[(0, 0, 0, 0)] * n for _ in range(n)]
    c = n / 2.0
    for y in range(n):
        for x in range(n):
            d = math.hypot(x + 0.5 - c, y + 0.5 - c)
            if d <= c - 0.5:
                px[y][x] = (250, 250, 240, 255)
            if c - 0.5 - n / 12.0 <= d <= c - 0.5:
                px[y][x] = (30, 30, 30, 255)
    def hand(angle_deg, length):
        a = math.radians(angle_deg)
        steps = n * 4
        for i in range(steps + 1):
            t = length * i / steps
            x = int(c + math.sin(a) * t)
            y = int(c - math.cos(a) * t)
            for dx in (0, 1 if n >= 32 else 0):
                if 0 <= x + dx < n and 0 <= y < n:
                    px[y][x + dx] = (30, 30, 30, 255)
    hand(300 + 7.5, c * 0.5)   # hour hand at ten past
    hand(90, c * 0.75)         # minute hand at quarter past
    return px


def bmp_entry(px):
    n = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    row_bytes = ((n + 31) // 32) * 4
    mask = b""
    for row in reversed(px):
        out = bytearray(row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    return header + xor + mask


def write_ico(path, images):
    entries = [bmp_entry(p) for p in images]
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    table = b""
    for p, data in zip(images, entries):
        n = len(p)
        table += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(head + table + b"".join(entries))


if __name__ == "__main__":
    write_ico(os.path.join(OUT, "icon_main.ico"), [television(16), television(32)])
    write_ico(os.path.join(OUT, "icon_second.ico"), [clock(16), clock(32)])
