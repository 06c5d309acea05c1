#!/usr/bin/env python3
"""Writes the toolbox picture of QuillonPD as a .bmp file: 16 x 15 pixels, 4 bits per pixel,
the standard 16-colour palette. Usage: toolbox_bitmap.py OUT.bmp

The drawing: a small display panel with a caption line and a green reading of 42."""
import struct
import sys

# One hexadecimal digit per pixel, an index into PALETTE; top row first.
DRAWING = [
    "7777777777777777",
    "7000000000000007",
    "70FFFFFFFFFFFF07",
    "70F444444FFFFF07",
    "70FFFFFFFFFFFF07",
    "70F0000000000F07",
    "70F0A0A0AAA00F07",
    "70F0A0A000A00F07",
    "70F0AAA0AAA00F07",
    "70F000A0A0000F07",
    "70F000A0AAA00F07",
    "70F0000000000F07",
    "70FFFFFFFFFFFF07",
    "7000000000000007",
    "7777777777777777",
]

# The standard 16 colours, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def bitmap():
    width, height = len(DRAWING[0]), len(DRAWING)
    assert all(len(row) == width for row in DRAWING)
    stride = (width * 4 + 31) // 32 * 4
    pixels = b"".join(bytes.fromhex(row).ljust(stride, b"\0") for row in reversed(DRAWING))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    dib = info + palette + pixels
    header = struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + len(info) + len(palette))
    return header + dib


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap())
