#!/usr/bin/env python3
"""Writes the spin field's arrow glyphs SPINUP.bmp and SPINDOWN.bmp: 9 x 6,
16 colours, black triangles on an olive background that is drawn transparent."""
import struct, sys, os

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, OLIVE = 0, 3
W, H = 9, 6

def rows_up():
    rows = [[OLIVE] * W for _ in range(H)]
    for r, run in zip(range(1, 5), (1, 3, 5, 7)):
        start = (W - run) // 2
        for x in range(start, start + run):
            rows[r][x] = BLACK
    return rows

def bmp4(rows):
    stride = ((W * 4 + 31) // 32) * 4
    pixels = b''
    for row in reversed(rows):  # bottom-up
        packed = bytearray(stride)
        for x, v in enumerate(row):
            packed[x // 2] |= v << (4 if x % 2 == 0 else 0)
        pixels += bytes(packed)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(pal)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    return header + info + pal + pixels

out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
up = rows_up()
open(os.path.join(out, 'SPINUP.bmp'), 'wb').write(bmp4(up))
open(os.path.join(out, 'SPINDOWN.bmp'), 'wb').write(bmp4(list(reversed(up))))
