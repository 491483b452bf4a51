#!/usr/bin/env python3
"""Draws the program's icon, the 32x32 picture and the button glyphs, and writes them as
pelvarn.ico, picture.bmp and glyphs.bmp beside this script. The pictures are simple shapes
drawn pixel by pixel, so that they can be regenerated at any time:  python3 makeimages.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)  # the glyph strip's transparent colour


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill for _ in range(w)] for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r0 <= d <= r1:
                    self.put(x, y, c)

    def polygon(self, pts, c):
        for y in range(self.h):
            for x in range(self.w):
                if inside(pts, x + 0.5, y + 0.5):
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, width, c):
        for y in range(self.h):
            for x in range(self.w):
                if seg_dist(x + 0.5, y + 0.5, x0, y0, x1, y1) <= width / 2:
                    self.put(x, y, c)


def inside(pts, x, y):
    result = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def emblem(size):
    """A dial on a teal tile with a falling trend line: the search for a faster model."""
    s = size / 32.0
    c = Canvas(size, size, (0, 0, 0, 0))
    teal, light, gold, dark = (0, 110, 120, 255), (225, 240, 238, 255), (250, 190, 40, 255), (20, 40, 50, 255)
    c.rect(0, 0, size - 1, size - 1, dark)
    c.rect(1, 1, size - 2, size - 2, teal)
    c.ring(16 * s, 17 * s, 9.5 * s, 12 * s, light)
    c.rect(int(14 * s), int(2 * s), int(18 * s) - 1, int(5 * s) - 1, light)
    c.line(7 * s, 11 * s, 13 * s, 17 * s, max(1.6, 2.6 * s), gold)
    c.line(13 * s, 17 * s, 17 * s, 14 * s, max(1.6, 2.6 * s), gold)
    c.line(17 * s, 14 * s, 25 * s, 23 * s, max(1.6, 2.6 * s), gold)
    c.polygon([(26.5 * s, 25 * s), (20 * s, 24 * s), (26 * s, 18 * s)], gold)
    return c


def glyph(kind):
    c = Canvas(16, 16, MAGENTA)
    green, blue, dark = (20, 140, 40), (30, 90, 200), (40, 40, 40)
    if kind == "start":
        c.polygon([(4, 2), (4, 14), (13, 8)], green)
    elif kind == "pause":
        c.rect(4, 3, 6, 12, blue)
        c.rect(9, 3, 11, 12, blue)
    elif kind == "resume":
        c.rect(3, 3, 4, 12, green)
        c.polygon([(6, 2), (6, 14), (14, 8)], green)
    elif kind == "copy":
        c.rect(2, 1, 9, 10, dark)
        c.rect(3, 2, 8, 9, (255, 255, 255))
        c.rect(6, 5, 13, 14, dark)
        c.rect(7, 6, 12, 13, (255, 255, 255))
        for y in (8, 10, 12):
            c.rect(8, y, 11, y, blue)
    elif kind == "help":
        c.disc(8, 8, 7, blue)
        q = (255, 255, 255)
        c.rect(6, 4, 9, 4, q)
        c.rect(5, 5, 5, 6, q)
        c.rect(10, 5, 10, 7, q)
        c.rect(8, 8, 9, 8, q)
        c.rect(8, 9, 8, 10, q)
        c.rect(8, 12, 8, 12, q)
    return c


def greyed(c):
    """The disabled form of a glyph: its shape in a light grey with a white shadow."""
    out = Canvas(c.w, c.h, MAGENTA)
    for y in range(c.h):
        for x in range(c.w):
            if c.px[y][x] != MAGENTA:
                out.put(x + 1, y + 1, (255, 255, 255))
    for y in range(c.h):
        for x in range(c.w):
            if c.px[y][x] != MAGENTA:
                out.put(x, y, (160, 160, 160))
    return out


def bmp24(canvases):
    """A bottom-up 24-bit BMP of the canvases placed side by side."""
    h = canvases[0].h
    w = sum(c.w for c in canvases)
    row = bytearray()
    rows = []
    for y in range(h):
        row = bytearray()
        for c in canvases:
            for x in range(c.w):
                r, g, b = c.px[y][x][:3]
                row += bytes((b, g, r))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    data = b"".join(reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54) + header + data


def icon_image(c):
    """One 32-bit image of an ICO file: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    n = c.w
    xor = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            r, g, b, a = c.px[y][x]
            xor += bytes((b, g, r, a))
    mask_row = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(n)):
        bits = bytearray(mask_row)
        for x in range(n):
            if c.px[y][x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w, c.h, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def main():
    with open(os.path.join(HERE, "pelvarn.ico"), "wb") as f:
        f.write(ico([emblem(32), emblem(16)]))
    picture = emblem(32)
    face = (240, 240, 240, 255)  # corners drawn on the button-face colour
    for row in picture.px:
        for i, p in enumerate(row):
            if p[3] == 0:
                row[i] = face
    with open(os.path.join(HERE, "picture.bmp"), "wb") as f:
        f.write(bmp24([picture]))
    strip = []
    for kind in ("start", "pause", "resume", "copy", "help"):
        g = glyph(kind)
        strip += [g, greyed(g)]
    with open(os.path.join(HERE, "glyphs.bmp"), "wb") as f:
        f.write(bmp24(strip))


if __name__ == "__main__":
    main()
