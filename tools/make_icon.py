#!/usr/bin/env python3
"""Draws the driver's icon "grdicon" and writes it as a 32 x 32, 16-colour .ico.

The picture: a small router panel, a grid of crosspoints on a dark face with
one lit route from a source (left) to a destination (bottom).

Usage: tools/make_icon.py res/grdicon.ico
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Indexes into the palette, by name.
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

SIZE = 32


def draw():
    """Returns (pixels, transparent): 32 rows of 32 palette indexes, top row first."""
    px = [[BLACK] * SIZE for _ in range(SIZE)]
    clear = [[True] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c
            clear[y][x] = False

    # Face of the panel with a light top-left and dark bottom-right edge.
    for y in range(2, 30):
        for x in range(2, 30):
            put(x, y, NAVY)
    for i in range(2, 30):
        put(i, 2, WHITE)
        put(2, i, WHITE)
        put(i, 29, GREY)
        put(29, i, GREY)
    # Source connectors on the left, destination connectors at the bottom.
    for k in range(5):
        y = 7 + 4 * k
        put(4, y, SILVER)
        put(5, y, SILVER)
        x = 9 + 4 * k
        put(x, 26, SILVER)
        put(x, 27, SILVER)
    # Crosspoint grid.
    for k in range(5):
        y = 7 + 4 * k
        for x in range(7, 28):
            if px[y][x] == NAVY:
                put(x, y, TEAL)
        x = 9 + 4 * k
        for y in range(5, 25):
            if px[y][x] == NAVY:
                put(x, y, TEAL)
    for j in range(5):
        for k in range(5):
            put(9 + 4 * k, 7 + 4 * j, CYAN)
    # One lit route: source 3 across to destination 4, then down.
    ys, xd = 15, 21
    for x in range(4, xd + 1):
        put(x, ys, YELLOW)
    for y in range(ys, 28):
        put(xd, y, YELLOW)
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            put(xd + dx, ys + dy, RED)
    put(xd, ys, WHITE)
    return px, clear


def ico_bytes(px, clear):
    # XOR picture: 4 bits per pixel, rows bottom-up, each row 16 bytes.
    xor = bytearray()
    for row in reversed(px):
        for x in range(0, SIZE, 2):
            xor.append((row[x] << 4) | row[x + 1])
    # AND mask: 1 bit per pixel (1 = transparent), rows bottom-up, 4 bytes each.
    mask = bytearray()
    for row in reversed(clear):
        bits = 0
        for x, c in enumerate(row):
            if c:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    px, clear = draw()
    with open(sys.argv[1], "wb") as f:
        f.write(ico_bytes(px, clear))


if __name__ == "__main__":
    main()
