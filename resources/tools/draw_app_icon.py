#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the program's desktop icon (the shield of the start-up pictures) in the hicolor sizes as
PNG files and once as SVG.

Usage: draw_app_icon.py OUTPUT_FOLDER   (writes tavimor-SIZE.png and tavimor.svg)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from draw_startup_pictures import Canvas, shield, shield_outline as outline  # noqa: E402

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
FILL, EDGE = (32, 92, 170), (20, 44, 96)


def svg(path):
    cx, top, w, h = 16, 1.5, 27, 29
    def points(pts):
        return ' '.join('%.2f,%.2f' % p for p in pts)
    sw, sh = w * 0.56, h * 0.2
    sy = top + h * 0.36
    i = sh * 0.12
    rgb = 'rgb(%d,%d,%d)'
    with open(path, 'w') as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                  '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
                  '  <title>Tavimor</title>\n')
        out.write('  <polygon fill="%s" points="%s"/>\n' % (rgb % EDGE, points(outline(cx, top, w, h, 0))))
        out.write('  <polygon fill="%s" points="%s"/>\n' % (rgb % FILL, points(outline(cx, top, w, h, max(1.5, w * 0.06)))))
        out.write('  <rect fill="#ffffff" x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f"/>\n'
                  % (cx - sw / 2, sy, sw, sh, sh / 2))
        out.write('  <rect fill="rgb(46,160,67)" x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f"/>\n'
                  % (cx - sw / 2 + i, sy + i, sw - 2 * i, sh - 2 * i, sh * 0.38))
        out.write('  <circle fill="#ffffff" cx="%.2f" cy="%.2f" r="%.2f"/>\n'
                  % (cx + sw / 2 - sh / 2, sy + sh / 2, sh * 0.36))
        out.write('</svg>\n')


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for size in SIZES:
        s = size / 32
        c = Canvas(size, size)
        shield(c, 16 * s, 1.5 * s, 27 * s, 29 * s, FILL + (255,), EDGE + (255,))
        c.save(os.path.join(folder, 'tavimor-%d.png' % size))
    svg(os.path.join(folder, 'tavimor.svg'))


if __name__ == '__main__':
    main()
