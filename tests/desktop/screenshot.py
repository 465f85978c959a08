#!/usr/bin/env python3
"""Turns an X window dump (xwd's output, on standard input) into a PNG file, and counts the pixels of a
region that are close to given colours. Standard library only, so that a screenshot needs nothing more
than x11-apps.

Usage: xwd -root -silent | screenshot.py OUT.png [X Y WIDTH HEIGHT [RRGGBB ...]]
With a region, prints one line per colour: the colour and how many pixels of the region lie within a
small distance of it.
"""
import struct
import sys
import zlib

HEADER_FIELDS = 25
TOLERANCE = 24


def read_xwd(data):
    """Width, height and the rows of (r, g, b) pixels of a 24/32-bit ZPixmap dump."""
    fields = struct.unpack(">%dI" % HEADER_FIELDS, data[: 4 * HEADER_FIELDS])
    header_size, version, pixmap_format, _depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks, colour_count = fields[14:17], fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        sys.exit("screenshot.py: only 24 and 32 bit ZPixmap dumps are read")
    start = header_size + 12 * colour_count
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line : start + y * bytes_per_line + width * step]
        row = []
        for x in range(0, width * step, step):
            value = int.from_bytes(line[x : x + step], order)
            row.append(tuple((value & m) >> s for m, s in zip(masks, shifts)))
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 6))
                   + chunk(b"IEND", b""))


def main():
    width, height, rows = read_xwd(sys.stdin.buffer.read())
    write_png(sys.argv[1], width, height, rows)
    if len(sys.argv) >= 6:
        x, y, w, h = (int(v) for v in sys.argv[2:6])
        region = [p for row in rows[max(y, 0) : y + h] for p in row[max(x, 0) : x + w]]
        for colour in sys.argv[6:]:
            target = tuple(int(colour[i : i + 2], 16) for i in (0, 2, 4))
            near = sum(1 for p in region if sum((a - b) ** 2 for a, b in zip(p, target)) <= TOLERANCE**2)
            print(colour, near)


if __name__ == "__main__":
    main()
