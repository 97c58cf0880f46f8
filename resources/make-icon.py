#!/usr/bin/env python3
"""Draws the window icon "MAINICON": a photo card with a resize arrow on a blue tile.

Pure Python (zlib only), so it runs on any build machine; the PNG it writes is
kept in the repository and rerunning the script gives the same bytes.
Usage: make-icon.py [output.png] [size]; icons/N.png holds the N x N hicolor icon.
"""
import math
import struct
import sys
import zlib

SS = 4  # supersampling per axis, for smooth edges


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def near_segment(x, y, a, b, w):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= w * w


def colour_at(u, v):
    """Colour (r, g, b, a) of the point (u, v) in a 0..1 square, or None for transparent."""
    if not inside_round_rect(u, v, 0.03, 0.03, 0.97, 0.97, 0.16):
        return None
    # Tile: vertical blue gradient.
    t = v
    colour = (int(40 + 30 * t), int(110 - 40 * t), int(200 - 60 * t), 255)
    # Photo card (white border) with sky, sun and hills.
    if inside_round_rect(u, v, 0.14, 0.20, 0.70, 0.70, 0.03):
        colour = (250, 250, 250, 255)
        if 0.18 <= u <= 0.66 and 0.24 <= v <= 0.66:
            colour = (150, 205, 245, 255)
            if (u - 0.55) ** 2 + (v - 0.34) ** 2 <= 0.055 ** 2:
                colour = (255, 205, 60, 255)
            hill1 = 0.56 - 0.16 * math.exp(-((u - 0.32) / 0.12) ** 2)
            hill2 = 0.62 - 0.10 * math.exp(-((u - 0.56) / 0.10) ** 2)
            if v >= min(hill1, hill2):
                colour = (70, 150, 70, 255) if v >= hill1 else (95, 175, 85, 255)
    # Resize arrow from the card's corner outward.
    a, b = (0.52, 0.52), (0.80, 0.80)
    if near_segment(u, v, a, b, 0.045) or inside_triangle(u, v, (0.90, 0.90), (0.66, 0.88), (0.88, 0.66)):
        colour = (255, 160, 30, 255)
    return colour


def render(size):
    rows = []
    for y in range(size):
        row = bytearray([0])  # filter type None
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    c = colour_at((x + (sx + 0.5) / SS) / size, (y + (sy + 0.5) / SS) / size)
                    if c is not None:
                        acc[0] += c[0] * c[3]
                        acc[1] += c[1] * c[3]
                        acc[2] += c[2] * c[3]
                        acc[3] += c[3]
            n = SS * SS
            alpha = acc[3] // n
            if acc[3]:
                row += bytes([acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], alpha])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "icons/128.png"
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 128
    with open(out, "wb") as f:
        f.write(png(size, render(size)))


if __name__ == "__main__":
    main()
