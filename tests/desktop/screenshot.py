#!/usr/bin/env python3
# Turns an X window dump (xwd's output, on standard input) into a PNG file and counts the pixels of a region
# that are close to given colours. Standard library only: a screenshot needs nothing more than x11-apps.
#
# Usage: xwd -root -silent | screenshot.py OUT.png [X Y WIDTH HEIGHT [RRGGBB ...]]
# With a region, prints one line per colour: the colour and how many pixels of the region lie near it.
import struct
import sys
import zlib

data = sys.stdin.buffer.read()
fields = struct.unpack(">25I", data[:100])  # a 24/32-bit ZPixmap dump
header_size, version, pixmap_format, _, width, height = fields[:6]
order, step, line, masks = "little" if fields[7] == 0 else "big", fields[11] // 8, fields[12], fields[14:17]
if version != 7 or pixmap_format != 2 or step not in (3, 4):
    sys.exit("screenshot.py: only 24 and 32 bit ZPixmap dumps are read")
start, shifts = header_size + 12 * fields[19], [(m & -m).bit_length() - 1 for m in masks]
rows = [[tuple((int.from_bytes(data[at:at + step], order) & m) >> s for m, s in zip(masks, shifts))
         for at in range(start + y * line, start + y * line + width * step, step)] for y in range(height)]


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
with open(sys.argv[1], "wb") as png:
    png.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
              + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
if len(sys.argv) >= 6:
    x, y, w, h = (int(v) for v in sys.argv[2:6])
    region = [p for row in rows[max(y, 0):y + h] for p in row[max(x, 0):x + w]]
    for colour in sys.argv[6:]:
        target = tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4))
        print(colour, sum(1 for p in region if sum((a - b) ** 2 for a, b in zip(p, target)) <= 24 ** 2))
