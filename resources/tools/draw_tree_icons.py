#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the eight tree icons (seven sections, then the root) at 16 and 32 pixels.

Shapes are given on a 32-unit grid, mostly on even coordinates so that they fall on whole
pixels at 16 px as well; each pixel is sampled 4 x 4 times for smooth round edges.
Only the standard library is used. Run: python3 draw_tree_icons.py [OUTPUT_FOLDER]
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def ellipse_ring(cx, cy, a, b, width):
    def inside(x, y):
        outer = ((x - cx) / (a + width / 2)) ** 2 + ((y - cy) / (b + width / 2)) ** 2
        inner = ((x - cx) / max(a - width / 2, 0.01)) ** 2 + ((y - cy) / max(b - width / 2, 0.01)) ** 2
        return outer <= 1 < inner
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def clipped(shape, clip):
    return lambda x, y: shape(x, y) and clip(x, y)


def cut(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


INK = (40, 44, 52)
WHITE = (255, 255, 255)
# Parts drawn in one colour alone, with no lighter fill inside them, take this mid grey: at least
# 3:1 against a white list and against a near-black one, so they show in light and dark palettes.
STEEL = (120, 128, 140)


def display():
    return [
        (rounded(2, 4, 30, 24, 2), INK),
        (rect(4, 6, 28, 22), (64, 132, 214)),
        (polygon([(4, 22), (28, 6), (28, 22)]), (92, 160, 232)),
        (rect(14, 24, 18, 27), STEEL),
        (rounded(8, 26, 24, 30, 1), STEEL),
    ]


def network():
    blue = (64, 132, 214)
    return [
        (rect(15, 10, 17, 17), STEEL), (rect(5, 15, 27, 17), STEEL),
        (rect(5, 15, 7, 21), STEEL), (rect(25, 15, 27, 21), STEEL),
        (rounded(10, 2, 22, 10, 1), INK), (rect(12, 4, 20, 8), blue),
        (rounded(0, 20, 12, 28, 1), INK), (rect(2, 22, 10, 26), blue),
        (rounded(20, 20, 32, 28, 1), INK), (rect(22, 22, 30, 26), blue),
    ]


def printer():
    return [
        (rect(8, 2, 24, 12), INK), (rect(10, 4, 22, 12), WHITE),
        (rounded(2, 10, 30, 24, 2), INK), (rect(4, 12, 28, 22), (150, 156, 168)),
        (rect(22, 14, 26, 16), (60, 200, 90)),
        (rect(8, 20, 24, 30), INK), (rect(10, 20, 22, 28), WHITE),
        (rect(12, 22, 20, 23), (150, 156, 168)), (rect(12, 25, 18, 26), (150, 156, 168)),
    ]


def security():
    gold = (232, 178, 40)
    return [
        (clipped(ring(16, 12, 9, 5), rect(0, 0, 32, 15)), STEEL),
        (rect(7, 12, 11, 16), STEEL), (rect(21, 12, 25, 16), STEEL),
        (rounded(4, 14, 28, 30, 2), INK), (rect(6, 16, 26, 28), gold),
        (circle(16, 21, 2.5), INK), (rect(15, 21, 17, 26), INK),
    ]


def start_menu():
    return [
        (rounded(4, 2, 28, 30, 1), INK), (rect(6, 4, 26, 28), (246, 246, 248)),
        (rect(6, 4, 11, 28), (64, 132, 214)),
        (rect(13, 7, 24, 9), INK), (rect(13, 13, 24, 15), INK), (rect(13, 19, 24, 21), INK),
        (polygon([(20, 24), (26, 24), (26, 28), (20, 28)]), (232, 84, 60)),
    ]


def system():
    teeth = []
    for k in range(8):
        a = k * math.pi / 4
        ca, sa = math.cos(a), math.sin(a)
        pts = [(-2.5, 8), (2.5, 8), (2.5, 14), (-2.5, 14)]
        teeth.append(polygon([(16 + px * ca - py * sa, 16 + px * sa + py * ca) for px, py in pts]))
    body = lambda x, y: circle(16, 16, 10.5)(x, y) or any(t(x, y) for t in teeth)
    return [
        (cut(body, circle(16, 16, 4)), INK),
        (cut(lambda x, y: circle(16, 16, 9)(x, y) or any(
            clipped(t, circle(16, 16, 12.5))(x, y) for t in teeth), circle(16, 16, 5.5)), (120, 128, 140)),
    ]


def internet():
    sea = (52, 128, 210)
    line = (200, 228, 255)
    return [
        (circle(16, 16, 14), INK),
        (circle(16, 16, 12.5), sea),
        (clipped(ellipse_ring(16, 16, 5.5, 12.5, 1.6), circle(16, 16, 12.5)), line),
        (clipped(rect(3, 15, 29, 17), circle(16, 16, 12.5)), line),
        (clipped(rect(15, 3, 17, 29), circle(16, 16, 12.5)), line),
        (clipped(rect(4, 9, 28, 10.5), circle(16, 16, 12.5)), line),
        (clipped(rect(4, 21.5, 28, 23), circle(16, 16, 12.5)), line),
    ]


def root():
    # A switch turned on: what the program does to each restriction.
    return [
        (rounded(1, 8, 31, 24, 8), INK),
        (rounded(3, 10, 29, 22, 6), (52, 168, 83)),
        (circle(21, 16, 6.5), INK),
        (circle(21, 16, 5), WHITE),
        (rect(7, 14, 13, 18), WHITE),
    ]


ICONS = [("display", display), ("network", network), ("printer", printer), ("security", security),
         ("startmenu", start_menu), ("system", system), ("internet", internet), ("root", root)]


def render(shapes, size):
    scale = 32.0 / size
    step = 1.0 / SAMPLES
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) * step) * scale
                    y = (py + (sy + 0.5) * step) * scale
                    colour = None
                    for shape, fill in shapes:
                        if shape(x, y):
                            colour = fill
                    if colour:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            n = SAMPLES * SAMPLES
            if a:
                row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(rows, size):
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(
        b"IEND", b"")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "icons")
    os.makedirs(folder, exist_ok=True)
    for name, shapes in ICONS:
        for size in (16, 32):
            with open(os.path.join(folder, "tree-%s-%d.png" % (name, size)), "wb") as out:
                out.write(png(render(shapes(), size), size))


if __name__ == "__main__":
    main()
