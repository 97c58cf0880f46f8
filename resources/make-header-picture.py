#!/usr/bin/env python3
"""Writes HeaderPicture.bmp, the wizard header's picture: a photo with a
smaller copy of itself and an arrow between them ("photos being resized").

75 x 74 pixels, 24 bits, uncompressed, 2834 pixels per metre; the
background is pure white and the bottom-left pixel stays white, since the
header keys its transparency on that pixel. Nothing else in the picture is
pure white, and the left 20 columns are empty (see below). Not part of the build: run it by hand after a change.
"""
import struct
import sys

W, H = 75, 74
WHITE = (255, 255, 255)
px = [[WHITE] * W for _ in range(H)]


def put(x, y, c):
    if 0 <= x < W and 0 <= y < H:
        px[y][x] = c


def rect(x0, y0, x1, y1, c):  # right and bottom excluded
    for y in range(y0, y1):
        for x in range(x0, x1):
            put(x, y, c)


def photo(x0, y0, w, h):
    """A framed landscape: sky, sun, two hills, a drop shadow."""
    shadow, frame = (150, 150, 150), (70, 70, 70)
    rect(x0 + 2, y0 + 2, x0 + w + 2, y0 + h + 2, shadow)
    rect(x0, y0, x0 + w, y0 + h, frame)
    ix0, iy0, ix1, iy1 = x0 + 2, y0 + 2, x0 + w - 2, y0 + h - 2
    iw, ih = ix1 - ix0, iy1 - iy0
    for y in range(iy0, iy1):
        t = (y - iy0) / max(ih - 1, 1)
        sky = (int(90 + 100 * t), int(150 + 70 * t), 235)
        for x in range(ix0, ix1):
            put(x, y, sky)
    # sun
    cx, cy, r = ix0 + iw * 0.72, iy0 + ih * 0.28, max(iw * 0.12, 1.5)
    for y in range(iy0, iy1):
        for x in range(ix0, ix1):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                put(x, y, (250, 205, 40))
    # hills: a far darker one and a near lighter one
    for y in range(iy0, iy1):
        for x in range(ix0, ix1):
            u, v = (x - ix0) / iw, (y - iy0) / ih
            if v > 0.55 + 0.25 * (u - 0.35) ** 2 * 4 - 0.12:
                put(x, y, (60, 140, 60))
            if v > 0.78 - 0.18 * (1 - (2 * u - 1.3) ** 2):
                put(x, y, (110, 185, 75))


def arrow(x0, y0, x1, y1, c):
    """A thick diagonal arrow from (x0, y0) to (x1, y1) with its head at the end."""
    n = max(abs(x1 - x0), abs(y1 - y0))
    for k in range(n + 1):
        x = x0 + (x1 - x0) * k / n
        y = y0 + (y1 - y0) * k / n
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                if abs(dx) + abs(dy) <= 1:
                    put(round(x) + dx, round(y) + dy, c)
    for k in range(7):  # head: two strokes back from the tip
        for dx in (0, 1):
            put(x1 - k + dx, y1, c)
            put(x1, y1 - k + dx, c)


# Columns 0-19 stay white: the header's comment may run up to 18 pixels
# into the picture's place, and white there keeps that text readable.
photo(21, 3, 46, 36)
photo(47, 48, 24, 19)
arrow(33, 45, 44, 56, (200, 50, 40))

stride = (W * 3 + 3) // 4 * 4
data = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up
    row = bytearray()
    for (r, g, b) in px[y]:
        row += bytes((b, g, r))
    row += b"\0" * (stride - len(row))
    data += row
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2834, 2834, 0, 0)
header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
out = sys.argv[1] if len(sys.argv) > 1 else "HeaderPicture.bmp"
with open(out, "wb") as f:
    f.write(header + info + data)
