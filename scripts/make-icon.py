#!/usr/bin/env python3
"""Draws the Quillbox icon (a box with a quill) and writes it as an ICO file
with 16, 32 and 48 pixel images. Run once; the result is committed."""
import math
import struct
import sys


def pixel(size, x, y):
    s = size / 48.0
    u, v = x / s, y / s
    # rounded box
    box = 6 <= u <= 42 and 14 <= v <= 44
    lid = 4 <= u <= 44 and 10 <= v <= 17
    # quill: a slanted feather from bottom-left to top-right
    d = (u - 14) * 0.6 - (v - 34) * 0.8 if False else None
    cx, cy = 28.0, 20.0
    ang = math.radians(-50)
    du, dv = u - cx, v - cy
    along = du * math.cos(ang) - dv * math.sin(ang)
    across = du * math.sin(ang) + dv * math.cos(ang)
    quill = -20 <= along <= 18 and abs(across) <= max(0.0, 5.5 * (1 - ((along + 1) / 19) ** 2))
    shaft = -24 <= along <= 18 and abs(across) <= 0.9
    if quill or shaft:
        return (250, 250, 250, 255) if not shaft else (90, 60, 30, 255)
    if lid:
        return (40, 90, 170, 255)
    if box:
        return (60, 130, 220, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x + 0.5, y + 0.5)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * mask_row * size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


sizes = [16, 32, 48]
images = [image(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(images)
open(sys.argv[1], "wb").write(out)
