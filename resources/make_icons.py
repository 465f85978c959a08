#!/usr/bin/env python3
"""Draws the two folder icons and writes them as Zell.icns (a folder) and Zell_bad.icns (the same folder
marked as damaged) beside this script. Standard library only: run it again after changing the artwork.

Each icon is drawn once at 256x256 with 4x4 supersampling; the 128x128 image is that one halved. The
ICNS container holds both as PNG entries, 'ic07' (128x128) and 'ic08' (256x256)."""

import os
import struct
import zlib

SIZE = 256
SAMPLES = 4

BACK = (46, 108, 184)
PAPER = (246, 246, 242)
FRONT_TOP = (112, 172, 236)
FRONT_BOTTOM = (70, 136, 214)
RED = (211, 47, 47)
WHITE = (255, 255, 255)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def near_segment(x, y, x1, y1, x2, y2, half_width):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    px, py = x1 + t * dx, y1 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def folder_color(x, y):
    """The colour at (x, y) of the unit square (y downward), or None where the icon is transparent."""
    if in_rounded_rect(x, y, 0.08, 0.36, 0.92, 0.86, 0.05):
        edge = y > 0.84 or x < 0.095 or x > 0.905
        shade = mix(FRONT_TOP, FRONT_BOTTOM, (y - 0.36) / 0.5)
        return mix(shade, BACK, 0.5) if edge else shade
    if in_rounded_rect(x, y, 0.15, 0.26, 0.85, 0.60, 0.02):
        return PAPER
    if in_rounded_rect(x, y, 0.08, 0.22, 0.92, 0.86, 0.05):
        return BACK
    if in_rounded_rect(x, y, 0.08, 0.15, 0.42, 0.30, 0.04):
        return BACK
    return None


def damaged_folder_color(x, y):
    cx, cy = 0.72, 0.70
    distance2 = (x - cx) ** 2 + (y - cy) ** 2
    if distance2 <= 0.21 ** 2:
        if distance2 > 0.185 ** 2:
            return WHITE
        arm = 0.085
        if near_segment(x, y, cx - arm, cy - arm, cx + arm, cy + arm, 0.032) or \
                near_segment(x, y, cx + arm, cy - arm, cx - arm, cy + arm, 0.032):
            return WHITE
        return RED
    return folder_color(x, y)


def render(color_at):
    """SIZE x SIZE pixels, each the sums of red, green and blue over its covered samples and the number of
    covered samples; with the number of samples per pixel."""
    rows = []
    step = 1.0 / (SIZE * SAMPLES)
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                y = (py * SAMPLES + sy + 0.5) * step
                for sx in range(SAMPLES):
                    color = color_at((px * SAMPLES + sx + 0.5) * step, y)
                    if color is not None:
                        r += color[0]
                        g += color[1]
                        b += color[2]
                        a += 1
            row.append((r, g, b, a))
        rows.append(row)
    return rows, SAMPLES * SAMPLES


def halved(rows):
    """The image at half size: each pixel sums the 2x2 block below it."""
    result = []
    for y in range(0, len(rows), 2):
        row = []
        for x in range(0, len(rows[y]), 2):
            block = [rows[y][x], rows[y][x + 1], rows[y + 1][x], rows[y + 1][x + 1]]
            row.append(tuple(sum(p[i] for p in block) for i in range(4)))
        result.append(row)
    return result


def png(rows, samples):
    """A PNG file (8-bit RGBA) of the accumulated samples."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            if a == 0:
                raw += bytes(4)
            else:
                raw += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / samples)))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def icns(entries):
    body = b"".join(kind + struct.pack(">I", 8 + len(data)) + data for kind, data in entries)
    return b"icns" + struct.pack(">I", 8 + len(body)) + body


def write_icon(path, color_at):
    rows, samples = render(color_at)
    small = halved(rows)
    data = icns([(b"ic07", png(small, samples * 4)), (b"ic08", png(rows, samples))])
    with open(path, "wb") as file:
        file.write(data)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(here, "Zell.icns"), folder_color)
    write_icon(os.path.join(here, "Zell_bad.icns"), damaged_folder_color)
