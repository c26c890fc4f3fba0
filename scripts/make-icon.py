#!/usr/bin/env python3
"""Draws the Quillbox icon (a box with a quill) and writes it as an ICO file:
16 and 32 pixel images in 16 colours (BMP, for every Windows), and 48, 64,
128 and 256 pixel images as PNG (palette, 4 bits per pixel), which Windows
Vista and later read inside an icon. The output depends on the drawing and
zlib's level 9 alone. Run it to change the icon; the result is committed as
stub/resources/quillbox.ico:

    python3 scripts/make-icon.py stub/resources/quillbox.ico"""
import math
import struct
import sys
import zlib


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


# The drawing has four flat colours and full transparency, so 4-bit images
# with a 16-colour palette and the AND mask hold it exactly, at a fraction of
# the size of 32-bit images (the icon is part of every installer).
PALETTE = [(0, 0, 0), (250, 250, 250), (90, 60, 30), (40, 90, 170), (60, 130, 220)]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))


def image(size):
    xor_row = ((size * 4 + 31) // 32) * 4
    mask_row = ((size + 31) // 32) * 4
    xor = b""
    and_mask = b""
    for y in range(size - 1, -1, -1):  # bottom-up
        indices = []
        mask_bits = []
        for x in range(size):
            r, g, b, a = pixel(size, x + 0.5, y + 0.5)
            indices.append(PALETTE.index((r, g, b)) if a else 0)
            mask_bits.append(0 if a else 1)
        row = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))
        xor += row.ljust(xor_row, b"\0")
        mask = bytes(
            sum(mask_bits[i + k] << (7 - k) for k in range(8) if i + k < size) for i in range(0, size, 8)
        )
        and_mask += mask.ljust(mask_row, b"\0")
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    return header + palette + xor + and_mask


def png(size):
    """The same drawing as a PNG image: a palette of the drawing's colours
    (entry 0 transparent), 4 bits per pixel, no filter, zlib level 9."""
    colours = PALETTE[:5]
    raw = b""
    for y in range(size):
        indices = []
        for x in range(size):
            r, g, b, a = pixel(size, x + 0.5, y + 0.5)
            indices.append(colours.index((r, g, b)) if a else 0)
        raw += b"\0" + bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
        + chunk(b"PLTE", b"".join(bytes(c) for c in colours))
        + chunk(b"tRNS", b"\0")
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


sizes = [16, 32, 48, 64, 128, 256]
images = [image(s) if s <= 32 else png(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    # A PNG image's entry says 32 bits per pixel, as Windows writes them; 256
    # is written as 0.
    colours, bits = (16, 4) if s <= 32 else (0, 32)
    out += struct.pack("<BBBBHHII", s % 256, s % 256, colours, 0, 1, bits, len(data), offset)
    offset += len(data)
out += b"".join(images)
open(sys.argv[1], "wb").write(out)
