#!/usr/bin/env python3
"""Draws the program's own icon, the blue folder of the installation icons with a green arrow pointing
into it, for the hicolor icon theme: as icons/NxN/io.github.quorvane.Updater.png in the usual sizes and
as the scalable io.github.quorvane.Updater.svg, beside this script. Standard library only; the folder is
drawn by resources/make_icons.py, and the drawing below repeats its shapes."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "resources"))

import make_icons  # noqa: E402

GREEN = (46, 160, 67)
WHITE = (255, 255, 255)


def in_arrow(x, y, cx, top, shaft_half, head_top, head_half, tip):
    """Inside a downward arrow: a shaft from top to head_top, then a triangle down to the tip."""
    if top <= y <= head_top and abs(x - cx) <= shaft_half:
        return True
    if head_top <= y <= tip:
        return abs(x - cx) <= head_half * (tip - y) / (tip - head_top)
    return False


def updater_color(x, y):
    cx, cy = 0.72, 0.70
    distance2 = (x - cx) ** 2 + (y - cy) ** 2
    if distance2 <= 0.21 ** 2:
        if distance2 > 0.185 ** 2:
            return WHITE
        if in_arrow(x, y, cx, cy - 0.12, 0.035, cy + 0.01, 0.10, cy + 0.12):
            return WHITE
        return GREEN
    return make_icons.folder_color(x, y)


APP_ID = "io.github.quorvane.Updater"
SIZES = (16, 32, 48, 64, 128, 256)


def hex_color(color):
    return "#%02x%02x%02x" % color


def rect(left, top, right, bottom, radius, fill):
    s = make_icons.SIZE
    return ('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
            % (left * s, top * s, (right - left) * s, (bottom - top) * s, radius * s, fill))


def svg():
    """The same drawing as shapes, in a 256x256 view box."""
    s = make_icons.SIZE
    back, edge = hex_color(make_icons.BACK), "url(#edge)"
    cx, cy = 0.72, 0.70
    arrow = [(cx - 0.035, cy - 0.12), (cx + 0.035, cy - 0.12), (cx + 0.035, cy + 0.01), (cx + 0.10, cy + 0.01),
             (cx, cy + 0.12), (cx - 0.10, cy + 0.01), (cx - 0.035, cy + 0.01)]
    stops = lambda a, b: ('<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
                          % (hex_color(a), hex_color(b)))
    return "\n".join([
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % (s, s, s, s),
        '<defs><linearGradient id="front" x1="0" y1="0" x2="0" y2="1">%s</linearGradient>'
        % stops(make_icons.FRONT_TOP, make_icons.FRONT_BOTTOM),
        '<linearGradient id="edge" x1="0" y1="0" x2="0" y2="1">%s</linearGradient></defs>'
        % stops(make_icons.mix(make_icons.FRONT_TOP, make_icons.BACK, 0.5),
                make_icons.mix(make_icons.FRONT_BOTTOM, make_icons.BACK, 0.5)),
        rect(0.08, 0.15, 0.42, 0.30, 0.04, back),
        rect(0.08, 0.22, 0.92, 0.86, 0.05, back),
        rect(0.15, 0.26, 0.85, 0.60, 0.02, hex_color(make_icons.PAPER)),
        rect(0.08, 0.36, 0.92, 0.86, 0.05, edge),
        rect(0.095, 0.36, 0.905, 0.84, 0.04, "url(#front)"),
        '<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx * s, cy * s, 0.21 * s, hex_color(WHITE)),
        '<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx * s, cy * s, 0.185 * s, hex_color(GREEN)),
        '<polygon points="%s" fill="%s"/>' % (" ".join("%g,%g" % (x * s, y * s) for x, y in arrow),
                                              hex_color(WHITE)),
        "</svg>", ""])


if __name__ == "__main__":
    with open(os.path.join(HERE, APP_ID + ".svg"), "w") as file:
        file.write(svg())
    for size in SIZES:
        make_icons.SIZE = size
        rows, samples = make_icons.render(updater_color)
        folder = os.path.join(HERE, "icons", "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, APP_ID + ".png"), "wb") as file:
            file.write(make_icons.png(rows, samples))
