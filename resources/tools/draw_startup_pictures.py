#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the start-up pictures (splash and dialog icons) as PNG files.

Usage: draw_startup_pictures.py OUTPUT_FOLDER
Only the standard library is used, so the pictures can be redrawn anywhere.
"""
import math
import struct
import sys
import zlib

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'C': ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    'D': ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    'G': ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'K': ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'Q': ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'W': ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    '0': ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    '4': ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    '5': ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    '8': ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    '9': ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    '.': ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    '/': ["00001", "00010", "00010", "00100", "01000", "01000", "10000"],
    ',': ["00000", "00000", "00000", "00000", "01100", "00100", "01000"],
    ' ': ["00000"] * 7,
}


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(colour) for _ in range(width * height)]

    def blend(self, x, y, colour, coverage=1.0):
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        r, g, b = colour[:3]
        a = (colour[3] / 255.0 if len(colour) > 3 else 1.0) * min(coverage, 1.0)
        p = self.pixels[y * self.width + x]
        out_a = a + p[3] / 255.0 * (1 - a)
        if out_a <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = round((c * a + p[i] * (p[3] / 255.0) * (1 - a)) / out_a)
        p[3] = round(out_a * 255)

    def shape(self, inside, colour, box=None):
        """Fills where inside(x, y) gives a signed distance below 0, smoothed over one pixel."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                d = inside(x + 0.5, y + 0.5)
                if d < 0.5:
                    self.blend(x, y, colour, 0.5 - d)

    def circle(self, cx, cy, r, colour):
        self.shape(lambda x, y: math.hypot(x - cx, y - cy) - r, colour,
                   (int(cx - r - 2), int(cy - r - 2), int(cx + r + 3), int(cy + r + 3)))

    def rounded_rect(self, x0, y0, x1, y1, r, colour):
        def d(x, y):
            qx = max(abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - r), 0)
            qy = max(abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - r), 0)
            return math.hypot(qx, qy) - r
        self.shape(d, colour, (int(x0) - 2, int(y0) - 2, int(x1) + 3, int(y1) + 3))

    def polygon(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]

        def d(x, y):
            inside = False
            best = 1e9
            n = len(points)
            for i in range(n):
                (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    inside = not inside
                vx, vy = bx - ax, by - ay
                t = max(0, min(1, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
                best = min(best, math.hypot(x - ax - t * vx, y - ay - t * vy))
            return -best if inside else best
        self.shape(d, colour, (int(min(xs)) - 2, int(min(ys)) - 2, int(max(xs)) + 3, int(max(ys)) + 3))

    def text(self, x, y, text, scale, colour, spacing=1):
        for ch in text:
            glyph = FONT[ch]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == '1':
                        self.rounded_rect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                          y + (row + 1) * scale, min(scale * 0.3, 2), colour)
            x += (5 + spacing) * scale

    @staticmethod
    def text_width(text, scale, spacing=1):
        return len(text) * (5 + spacing) * scale - spacing * scale

    def save(self, path):
        raw = b''.join(b'\x00' + bytes(v for p in self.pixels[y * self.width:(y + 1) * self.width] for v in p)
                       for y in range(self.height))

        def chunk(kind, data):
            return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
        with open(path, 'wb') as out:
            out.write(b'\x89PNG\r\n\x1a\n')
            out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', self.width, self.height, 8, 6, 0, 0, 0)))
            out.write(chunk(b'IDAT', zlib.compress(raw, 9)))
            out.write(chunk(b'IEND', b''))


def shield_outline(cx, top, w, h, inset):
    """The shield's outline, inset pixels inside its edge."""
    left, right = cx - w / 2 + inset, cx + w / 2 - inset
    t, b = top + inset, top + h - inset
    pts = [(left, t), (right, t), (right, t + h * 0.45)]
    for i in range(1, 12):
        a = i / 12
        pts.append((right - (right - cx) * a, t + h * 0.45 + (b - t - h * 0.45) * math.sin(a * math.pi / 2)))
    pts.append((cx, b))
    for i in range(11, 0, -1):
        a = i / 12
        pts.append((left + (cx - left) * a, t + h * 0.45 + (b - t - h * 0.45) * math.sin(a * math.pi / 2)))
    pts.append((left, t + h * 0.45))
    return pts


def shield(c, cx, top, w, h, fill, edge):
    """The program's mark: a shield holding a switch turned on."""
    def outline(inset):
        return shield_outline(cx, top, w, h, inset)
    c.polygon(outline(0), edge)
    c.polygon(outline(max(1.5, w * 0.06)), fill)
    sw, sh = w * 0.56, h * 0.2
    sy = top + h * 0.36
    c.rounded_rect(cx - sw / 2, sy, cx + sw / 2, sy + sh, sh / 2, (255, 255, 255, 255))
    c.rounded_rect(cx - sw / 2 + sh * 0.12, sy + sh * 0.12, cx + sw / 2 - sh * 0.12, sy + sh * 0.88,
                   sh * 0.38, (46, 160, 67, 255))
    c.circle(cx + sw / 2 - sh / 2, sy + sh / 2, sh * 0.36, (255, 255, 255, 255))


def splash(path):
    w, h = 500, 376
    c = Canvas(w, h)
    for y in range(h):
        t = y / (h - 1)
        colour = (round(18 + 20 * t), round(42 + 40 * t), round(96 + 60 * t), 255)
        for x in range(w):
            c.pixels[y * w + x] = list(colour)
    for i, r in enumerate((260, 200, 140)):
        c.circle(470, 30, r, (255, 255, 255, 10 + 6 * i))
    c.rounded_rect(0, 300, w, h, 0, (10, 22, 52, 200))
    shield(c, 108, 70, 120, 150, (32, 92, 170, 255), (214, 226, 245, 255))
    c.text(196, 92, "TAVIMOR", 6, (255, 255, 255, 255))
    c.text(196, 150, "4.0", 6, (255, 214, 92, 255))
    c.text(196, 214, "POLICY RESTRICTIONS", 2, (206, 220, 244, 255))
    c.text(196, 236, "FOR WINDOWS 95/98/ME", 2, (206, 220, 244, 255))
    c.text(24, 330, "QUILLMOOR", 2, (170, 186, 220, 255))
    label = "LOADING..."
    c.text(w - 24 - Canvas.text_width(label, 2), 330, label, 2, (170, 186, 220, 255))
    c.save(path)


def app_icon(path):
    c = Canvas(32, 32)
    shield(c, 16, 1.5, 27, 29, (32, 92, 170, 255), (20, 44, 96, 255))
    c.save(path)


def maker_icon(path):
    c = Canvas(32, 32)
    c.circle(16, 16, 15, (122, 48, 140, 255))
    c.circle(16, 16, 12.5, (250, 246, 255, 255))
    # A quill: a long leaf shape across the disc with its nib at the lower left.
    c.polygon([(8, 25), (13, 15), (22, 7), (25, 7), (24, 11), (17, 19)], (122, 48, 140, 255))
    c.polygon([(7, 26), (9, 23), (10, 24)], (40, 20, 50, 255))
    c.save(path)


def key_icon(path):
    c = Canvas(32, 32)
    gold, dark = (222, 170, 40, 255), (120, 84, 10, 255)
    c.circle(10, 12, 8, dark)
    c.circle(10, 12, 6.5, gold)
    c.circle(10, 12, 2.5, (0, 0, 0, 0))
    c.pixels = [p if not (math.hypot(i % 32 + 0.5 - 10, i // 32 + 0.5 - 12) < 2.5) else [0, 0, 0, 0]
                for i, p in enumerate(c.pixels)]
    c.rounded_rect(15, 10.5, 30, 14.5, 1, dark)
    c.rounded_rect(16, 11.5, 29, 13.5, 0.5, gold)
    c.rounded_rect(23, 14, 26, 19, 0.5, dark)
    c.rounded_rect(27, 14, 30, 21, 0.5, dark)
    c.save(path)


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else '.'
    splash(folder + '/splash.png')
    app_icon(folder + '/tavimor32.png')
    maker_icon(folder + '/quillmoor32.png')
    key_icon(folder + '/key32.png')
