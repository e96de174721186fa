#!/usr/bin/env python3
"""Draws the bundled default picture, mottle.bmp: a 512 x 384 uncompressed
24-bit Windows bitmap with a colour-wheel background and hard-edged shapes in
strong colours, so that the dissolve is plain to see. Deterministic: running
it again gives the same file.

Usage: python3 make_mottle_bmp.py [output path]   (default: mottle.bmp here)
"""
import colorsys
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tools'))
from bitmap_writer import bitmap_bytes  # noqa: E402

WIDTH, HEIGHT = 512, 384


def background(x, y):
    # Hue turns around the centre, brightness falls off towards the corners.
    dx, dy = x - WIDTH / 2, y - HEIGHT / 2
    hue = (math.atan2(dy, dx) / (2 * math.pi)) % 1.0
    fall = min(1.0, math.hypot(dx, dy) / math.hypot(WIDTH / 2, HEIGHT / 2))
    r, g, b = colorsys.hsv_to_rgb(hue, 0.55, 1.0 - 0.45 * fall)
    return int(r * 255), int(g * 255), int(b * 255)


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (x - q[0]) * (p[1] - q[1]) - (p[0] - q[0]) * (y - q[1])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def pixel(x, y):
    # Shapes drawn front to back: the first that covers (x, y) wins.
    # A white-rimmed red disc.
    d = math.hypot(x - 130, y - 120)
    if d < 70:
        return (230, 30, 40)
    if d < 78:
        return (255, 255, 255)
    # A blue and yellow chequered square.
    if 300 <= x < 420 and 50 <= y < 170:
        return (20, 60, 200) if ((x - 300) // 20 + (y - 50) // 20) % 2 else (250, 220, 20)
    # A green triangle with a black outline band.
    a, b, c = (60, 350), (200, 200), (260, 360)
    if inside_triangle(x, y, a, b, c):
        shrunk = [(p[0] * 0.8 + 173 * 0.2, p[1] * 0.8 + 303 * 0.2) for p in (a, b, c)]
        return (30, 190, 70) if inside_triangle(x, y, *shrunk) else (0, 0, 0)
    # A purple ring.
    d = math.hypot(x - 390, y - 285)
    if 40 <= d < 65:
        return (150, 40, 190)
    # Diagonal orange and cyan stripes across a band at the bottom right.
    if 300 <= x < 500 and 340 <= y < 376:
        return (255, 140, 0) if ((x + y) // 12) % 2 else (0, 200, 220)
    # A thin black frame one pixel inside the border.
    if x in (4, WIDTH - 5) or y in (4, HEIGHT - 5):
        return (0, 0, 0)
    return background(x, y)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "mottle.bmp")
    with open(out, "wb") as f:
        f.write(bitmap_bytes(WIDTH, HEIGHT, pixel))
    print(out)


if __name__ == "__main__":
    main()
