"""Test pictures for the end-to-end runs, made here rather than taken from
anywhere: uncompressed 24-bit Windows bitmaps with strong, hard-edged shapes
(so that the dissolve changes many pixels at once) and an outer ring whose
every pixel has its own colour (so that a ring that moved or was repainted
would show)."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools'))
from bitmap_writer import stride, write_bitmap  # noqa: E402


def ring_colour(x, y, width, height, variant=0):
    # Distinct along the ring: the position along the edge goes into two
    # channels, the edge's identity into the third; the variant shifts them,
    # so that pictures of one size have rings of their own.
    if y == 0:
        edge, position = 40, x
    elif y == height - 1:
        edge, position = 90, x
    elif x == 0:
        edge, position = 140, y
    else:
        edge, position = 190, y
    return ((position * 7 + variant * 101) % 256, (position * 13 + 60) % 256,
            edge + variant * 3)


def inner_colour(x, y, width, height, variant):
    # Bands of four strong colours, cut by diagonal stripes.
    palette = [(230, 30, 40), (30, 180, 60), (40, 60, 220), (250, 220, 20),
               (160, 40, 200), (20, 200, 220)]
    band = (x * 6 // width + y * 4 // height + variant) % len(palette)
    if ((x + y + variant * 5) // 12) % 3 == 0:
        band = (band + 3) % len(palette)
    return palette[band]


QUADRANT_PALETTES = [[(230, 30, 40), (30, 180, 60), (40, 60, 220), (250, 220, 20)],
                     [(120, 0, 90), (0, 110, 130), (200, 120, 0), (90, 90, 90)]]


def quadrant_colour(x, y, width, height, variant):
    # Four flat fields, from a palette of the variant's own: the step only
    # copies colours, so a picture made from one palette never shows another.
    palette = QUADRANT_PALETTES[variant % len(QUADRANT_PALETTES)]
    return palette[(2 if y >= height // 2 else 0) + (1 if x >= width // 2 else 0)]


def make_pixels(width, height, variant=0, flat=False):
    """Display-order pixels: rows top first, (r, g, b) tuples."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            on_ring = x in (0, width - 1) or y in (0, height - 1)
            if on_ring:
                row.append(ring_colour(x, y, width, height, variant))
            elif flat:
                row.append(quadrant_colour(x, y, width, height, variant))
            else:
                row.append(inner_colour(x, y, width, height, variant))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    write_bitmap(path, len(rows[0]), len(rows), lambda x, y: rows[y][x])


def make_bmp(path, width, height, variant=0, flat=False):
    rows = make_pixels(width, height, variant, flat)
    write_bmp(path, rows)
    return rows


def read_bmp(path):
    """Display-order pixels of an uncompressed bottom-up 24-bit bitmap file."""
    with open(path, 'rb') as source:
        data = source.read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, depth = struct.unpack_from('<iiHH', data, 18)
    if depth != 24 or width <= 0 or height <= 0:
        raise ValueError(f'{path}: not a bottom-up 24-bit bitmap')
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride(width)
        rows.append([(data[start + 3 * x + 2], data[start + 3 * x + 1], data[start + 3 * x])
                     for x in range(width)])
    return rows
