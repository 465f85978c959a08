#!/usr/bin/env python3
"""Draws the program's own icon, the blue folder of the installation icons with a green arrow pointing
into it, and writes it as io.github.quorvane.Updater.png (256x256) beside this script, for the hicolor
icon theme. Standard library only; the folder is drawn by resources/make_icons.py."""

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


if __name__ == "__main__":
    rows, samples = make_icons.render(updater_color)
    with open(os.path.join(HERE, "io.github.quorvane.Updater.png"), "wb") as file:
        file.write(make_icons.png(rows, samples))
