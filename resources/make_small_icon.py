#!/usr/bin/env python3
"""Draws the program's icon for 16x16 pixels by hand, pixel by pixel, as small_icon_16.png beside this
script: the folder and the arrow into it of the larger icons, without the round badge, which at this size
blurs into a green spot. Standard library only."""

import os
import struct
import zlib

import make_icons

ARROW = (24, 110, 40)
FRONT = (112, 172, 236)
COLORS = {".": None, "B": make_icons.BACK, "F": FRONT, "A": ARROW, "P": make_icons.PAPER}

PIXELS = """
................
.BBBBB..........
.BBBBBBBBBBBBBB.
.BPPPPPPPPPPPPB.
.BFFFFFAAFFFFFB.
.BFFFFFAAFFFFFB.
.BFFFFFAAFFFFFB.
.BFFFFFAAFFFFFB.
.BFFFFFAAFFFFFB.
.BFFFAAAAAAFFFB.
.BFFFFAAAAFFFFB.
.BFFFFFAAFFFFFB.
.BFFFFFFFFFFFFB.
.BBBBBBBBBBBBBB.
................
................
""".split()


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b""
    for row in rows:
        raw += b"\0" + b"".join(bytes(COLORS[c] + (255,)) if COLORS[c] else b"\0\0\0\0" for c in row)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    assert len(PIXELS) == 16 and all(len(row) == 16 for row in PIXELS)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "small_icon_16.png"), "wb") as out:
        out.write(png(PIXELS))
