#!/usr/bin/env python3
"""Writes a 32 x 32 one-bit Windows cursor file (.cur) from a text picture.

The picture holds a line 'hotspot X Y' and rows of '#' (black), 'o' (white)
and '.' (transparent), placed at the top-left of the cursor; lines starting
with '#' followed by a space, and empty lines, are comments. Every pixel
outside the picture is transparent.

Usage: make_cursor.py PICTURE.txt OUTPUT.cur
"""

import struct
import sys

SIZE = 32
STRIDE = SIZE // 8  # bytes per row of each one-bit mask


def read_picture(path):
    hotspot = None
    rows = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("# "):
                continue
            if line.startswith("hotspot "):
                x, y = (int(v) for v in line.split()[1:3])
                hotspot = (x, y)
                continue
            if set(line) - set("#o."):
                sys.exit("%s:%d: only '#', 'o' and '.' may draw" % (path, number))
            rows.append(line)
    if hotspot is None or not rows:
        sys.exit("%s: needs a hotspot line and at least one row" % path)
    width = len(rows[0])
    if any(len(r) != width for r in rows) or width > SIZE or len(rows) > SIZE:
        sys.exit("%s: rows must be equally long and fit in %d x %d" % (path, SIZE, SIZE))
    if not (0 <= hotspot[0] < SIZE and 0 <= hotspot[1] < SIZE):
        sys.exit("%s: hot spot outside the cursor" % path)
    return hotspot, rows


def cursor_bytes(hotspot, rows):
    # Colour bits: 1 picks the white palette entry. Mask bits: 1 keeps the
    # screen (transparent). Black and white pixels clear the mask.
    xor = bytearray(SIZE * STRIDE)
    mask = bytearray(b"\xff" * (SIZE * STRIDE))
    for y, row in enumerate(rows):
        stored = SIZE - 1 - y  # a DIB stores the bottom row first
        for x, pixel in enumerate(row):
            bit = 0x80 >> (x % 8)
            at = stored * STRIDE + x // 8
            if pixel != ".":
                mask[at] &= ~bit & 0xFF
            if pixel == "o":
                xor[at] |= bit
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0, 0, 0, 0, 0, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + bytes(xor) + bytes(mask)
    # File header: reserved, type 2 (cursor), one image; then the directory
    # entry, whose planes and bit-count fields hold the hot spot in a .cur file.
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16
    )
    return directory + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    hotspot, rows = read_picture(sys.argv[1])
    with open(sys.argv[2], "wb") as f:
        f.write(cursor_bytes(hotspot, rows))


if __name__ == "__main__":
    main()
