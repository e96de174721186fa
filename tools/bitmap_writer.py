"""Writes uncompressed 24-bit Windows bitmap files: the 14-byte file header,
the 40-byte information header and the pixel rows, bottom row first, each
padded to a multiple of four bytes. The one writer of the project's Python
scripts (the bundled picture, the end-to-end pictures)."""
import struct

FILE_HEADER_BYTES = 14
INFO_HEADER_BYTES = 40
# 72 dots per inch, in dots per metre.
RESOLUTION = 2835


def stride(width):
    """Bytes of one row in the file: 3 per pixel, padded to four."""
    return 3 * width + width % 4


def bitmap_bytes(width, height, colour):
    """The file of a width x height picture whose display pixel (x, y), x from
    the left and y from the top, has the colour colour(x, y) = (r, g, b)."""
    padding = bytes(stride(width) - 3 * width)
    rows = []
    for y in range(height - 1, -1, -1):  # the file stores the bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b = colour(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + padding)
    data = b''.join(rows)
    offset = FILE_HEADER_BYTES + INFO_HEADER_BYTES
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    info_header = struct.pack('<IiiHHIIiiII', INFO_HEADER_BYTES, width, height, 1, 24, 0,
                              len(data), RESOLUTION, RESOLUTION, 0, 0)
    return file_header + info_header + data


def write_bitmap(path, width, height, colour):
    """Writes bitmap_bytes(width, height, colour) to path."""
    with open(path, 'wb') as out:
        out.write(bitmap_bytes(width, height, colour))
