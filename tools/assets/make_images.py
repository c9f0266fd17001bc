#!/usr/bin/env python3
"""Draws Sorvanthe's sprites into 32-bit BMP files under game/texture/.

Every picture is drawn here from simple shapes, so a maintainer changes the art
by changing this file. The engine's "img" command reads BMP (and DDS) files; a
32-bit BMP keeps its alpha channel, so the shapes have soft, see-through edges.

    python3 tools/assets/make_images.py [output folder]

With no argument the files go to game/texture/ beside this repository's game.
Only the Python standard library is used.
"""
import math
import os
import struct
import sys


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0, 0, 0, 0)] * width for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        r, g, b, a = colour
        a = a * min(coverage, 1.0)
        dr, dg, db, da = self.pixels[y][x]
        out_a = a + da * (1 - a / 255)
        if out_a <= 0:
            return
        mix = lambda s, d: (s * a + d * da * (1 - a / 255)) / out_a
        self.pixels[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), out_a)

    def shape(self, inside, colour):
        """Fills where inside(px, py) is true, 4x4 samples per pixel."""
        for y in range(self.height):
            for x in range(self.width):
                hits = sum(inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4) for i in range(4) for j in range(4))
                self.blend(x, y, colour, hits / 16)

    def ellipse(self, cx, cy, rx, ry, colour):
        self.shape(lambda px, py: ((px - cx) / rx) ** 2 + ((py - cy) / ry) ** 2 <= 1, colour)

    def polygon(self, points, colour):
        def inside(px, py):
            crossings = False
            for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
                if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
                    crossings = not crossings
            return crossings
        self.shape(inside, colour)

    def rect(self, left, top, right, bottom, colour):
        self.shape(lambda px, py: left <= px < right and top <= py < bottom, colour)

    def bmp(self):
        """A bottom-up 32-bit BMP, pixels as BGRA. The 108-byte header with bit
        fields names the fourth byte as alpha: with the plain 40-byte header
        the fourth byte is unused and the see-through edges would draw
        black over the stage background."""
        rows = b"".join(
            bytes(int(round(v)) for p in row for v in (p[2], p[1], p[0], p[3]))
            for row in reversed(self.pixels))
        header = struct.pack("<2sIHHI", b"BM", 14 + 108 + len(rows), 0, 0, 14 + 108)
        info = struct.pack("<IiiHHIIiiII", 108, self.width, self.height, 1, 32, 3, len(rows), 2835, 2835, 0, 0)
        masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
        colour_space = struct.pack("<4s36sIII", b"BGRs", bytes(36), 0, 0, 0)
        return header + info + masks + colour_space + rows


def ship():
    c = Canvas(32, 32)
    c.polygon([(16, 1), (29, 28), (16, 22), (3, 28)], (60, 200, 255, 255))
    c.polygon([(16, 6), (22, 22), (16, 19), (10, 22)], (200, 240, 255, 255))
    c.ellipse(16, 15, 2.5, 3.5, (20, 40, 120, 255))
    c.rect(9, 26, 12, 31, (255, 160, 40, 220))
    c.rect(20, 26, 23, 31, (255, 160, 40, 220))
    return c


def hitbox():
    c = Canvas(16, 16)
    c.ellipse(8, 8, 7, 7, (255, 255, 255, 255))
    c.ellipse(8, 8, 5, 5, (255, 40, 80, 255))
    return c


def enemy_small():
    c = Canvas(32, 32)
    c.polygon([(16, 30), (30, 12), (16, 2), (2, 12)], (230, 60, 70, 255))
    c.polygon([(16, 24), (24, 12), (16, 7), (8, 12)], (255, 170, 150, 255))
    c.ellipse(16, 13, 3, 3, (60, 0, 20, 255))
    return c


def enemy_wing():
    c = Canvas(32, 32)
    c.ellipse(16, 16, 7, 9, (170, 90, 230, 255))
    c.polygon([(10, 12), (1, 4), (3, 22), (10, 20)], (120, 60, 200, 255))
    c.polygon([(22, 12), (31, 4), (29, 22), (22, 20)], (120, 60, 200, 255))
    c.ellipse(16, 18, 3, 3, (255, 230, 120, 255))
    return c


def bullet(colour):
    c = Canvas(16, 16)
    c.ellipse(8, 8, 7.5, 7.5, colour + (255,))
    c.ellipse(8, 8, 4.5, 4.5, (255, 255, 255, 255))
    return c


def rice(colour):
    c = Canvas(16, 16)
    c.ellipse(8, 8, 4, 7.5, colour + (255,))
    c.ellipse(8, 8, 2, 5, (255, 255, 255, 255))
    return c


def shot():
    c = Canvas(8, 16)
    c.ellipse(4, 8, 3.5, 7.5, (160, 255, 200, 200))
    c.ellipse(4, 8, 1.5, 6, (255, 255, 255, 255))
    return c


def item(colour, mark):
    c = Canvas(16, 16)
    c.rect(1, 1, 15, 15, colour + (255,))
    c.rect(3, 3, 13, 13, tuple(min(255, v + 90) for v in colour) + (255,))
    for left, top, right, bottom in mark:
        c.rect(left, top, right, bottom, (255, 255, 255, 255))
    return c


# A "P" for power and a "+" for points, drawn with rectangles.
POWER_MARK = [(5, 4, 7, 12), (7, 4, 11, 6), (9, 6, 11, 8), (7, 8, 11, 10)]
POINT_MARK = [(7, 4, 9, 12), (4, 7, 12, 9)]

IMAGES = {
    "ship": ship,
    "hitbox": hitbox,
    "enemy_small": enemy_small,
    "enemy_wing": enemy_wing,
    "bullet_red": lambda: bullet((240, 40, 60)),
    "bullet_blue": lambda: bullet((50, 110, 255)),
    "bullet_green": lambda: bullet((40, 220, 90)),
    "bullet_yellow": lambda: bullet((250, 210, 40)),
    "rice_purple": lambda: rice((190, 60, 240)),
    "shot": shot,
    "item_power": lambda: item((200, 30, 30), POWER_MARK),
    "item_point": lambda: item((30, 60, 200), POINT_MARK),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "game", "texture")
    os.makedirs(out, exist_ok=True)
    for name, draw in IMAGES.items():
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(draw().bmp())


if __name__ == "__main__":
    main()
