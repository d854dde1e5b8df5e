#!/usr/bin/env python3
"""Draws the node-kind icons of the main window and writes them as a C++ source file.

Icon i is the picture of node kind i (index 0 stays blank). Each icon is a 32 x 32 RGBA PNG drawn
from a few shapes with 4 x 4 supersampling; the image lists scale it to their own size.

Usage: gen_node_icons.py OUTPUT.cpp [PNG_DIR]   (PNG_DIR: also write each icon as kindNN.png)
"""
import os
import struct
import sys
import zlib

SIZE = 32
SUB = 4  # samples per pixel side
COUNT = 60


# ---- shapes: each answers whether a point (in pixel units) lies inside, and its bounds ----------

class Rect:
    def __init__(self, x0, y0, x1, y1, r=0.0):
        self.x0, self.y0, self.x1, self.y1, self.r = x0, y0, x1, y1, r

    def bounds(self):
        return self.x0, self.y0, self.x1, self.y1

    def inside(self, x, y):
        if not (self.x0 <= x <= self.x1 and self.y0 <= y <= self.y1):
            return False
        r = self.r
        if r <= 0:
            return True
        cx = min(max(x, self.x0 + r), self.x1 - r)
        cy = min(max(y, self.y0 + r), self.y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Ellipse:
    def __init__(self, cx, cy, rx, ry, hole=0.0):
        self.cx, self.cy, self.rx, self.ry, self.hole = cx, cy, rx, ry, hole

    def bounds(self):
        return self.cx - self.rx, self.cy - self.ry, self.cx + self.rx, self.cy + self.ry

    def inside(self, x, y):
        d = ((x - self.cx) / self.rx) ** 2 + ((y - self.cy) / self.ry) ** 2
        return d <= 1.0 and (self.hole <= 0 or d >= self.hole ** 2)


class Polygon:
    def __init__(self, *points):
        self.p = points

    def bounds(self):
        xs = [p[0] for p in self.p]
        ys = [p[1] for p in self.p]
        return min(xs), min(ys), max(xs), max(ys)

    def inside(self, x, y):
        n, c = len(self.p), False
        for i in range(n):
            (x0, y0), (x1, y1) = self.p[i], self.p[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
                c = not c
        return c


class Line:
    def __init__(self, x0, y0, x1, y1, w=2.0):
        self.a, self.b, self.w = (x0, y0), (x1, y1), w

    def bounds(self):
        h = self.w / 2
        return (min(self.a[0], self.b[0]) - h, min(self.a[1], self.b[1]) - h,
                max(self.a[0], self.b[0]) + h, max(self.a[1], self.b[1]) + h)

    def inside(self, x, y):
        (ax, ay), (bx, by) = self.a, self.b
        dx, dy = bx - ax, by - ay
        t = ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy or 1)
        t = min(max(t, 0.0), 1.0)
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (self.w / 2) ** 2


# ---- canvas ---------------------------------------------------------------------------------

class Canvas:
    def __init__(self):
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * SIZE for _ in range(SIZE)]

    def fill(self, shape, color):
        r, g, b = ((color >> 16) & 255) / 255.0, ((color >> 8) & 255) / 255.0, (color & 255) / 255.0
        x0, y0, x1, y1 = shape.bounds()
        for py in range(max(0, int(y0)), min(SIZE, int(y1) + 1)):
            for px in range(max(0, int(x0)), min(SIZE, int(x1) + 1)):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if shape.inside(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB):
                            hits += 1
                if not hits:
                    continue
                a = hits / float(SUB * SUB)
                dr, dg, db, da = self.px[py][px]
                oa = a + da * (1 - a)
                mix = lambda s, d: (s * a + d * da * (1 - a)) / oa
                self.px[py][px] = (mix(r, dr), mix(g, dg), mix(b, db), oa)

    def outlined(self, shape, fill, outline, inset):
        """The shape in the outline colour, then shrunk by inset in the fill colour."""
        self.fill(shape, outline)
        self.fill(shrink(shape, inset), fill)

    def png(self):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((round(r * 255), round(g * 255), round(b * 255), round(a * 255)))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        return (b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def shrink(shape, d):
    if isinstance(shape, Rect):
        return Rect(shape.x0 + d, shape.y0 + d, shape.x1 - d, shape.y1 - d, max(0, shape.r - d))
    if isinstance(shape, Ellipse):
        return Ellipse(shape.cx, shape.cy, shape.rx - d, shape.ry - d, shape.hole)
    return shape


# ---- motifs ---------------------------------------------------------------------------------

INK = 0x30343C
WHITE = 0xFFFFFF


def page(c, accent=None):
    c.fill(Polygon((6, 2), (20.5, 2), (27, 8.5), (27, 30), (6, 30)), 0x8A939E)
    c.fill(Polygon((7, 3), (20, 3), (26, 9), (26, 29), (7, 29)), 0xFAFAF5)
    c.fill(Polygon((20, 3), (26, 9), (20, 9)), 0xC8CCD2)
    if accent is not None:
        accent(c)


def folder(c, color=0xF2C14E, dark=0xC9962A, opened=False):
    c.fill(Rect(3, 7, 14, 12, 1.5), dark)
    c.fill(Rect(3, 9, 29, 27, 1.5), dark)
    if opened:
        c.fill(Polygon((7, 14), (31, 14), (27, 27), (3, 27)), color)
    else:
        c.fill(Rect(4, 11, 28, 26, 1), color)


def disc(c, cx=16, cy=16, r=12, color=0xC9D3DE, ring=None):
    c.fill(Ellipse(cx, cy, r, r), 0x7C8794)
    c.fill(Ellipse(cx, cy, r - 1, r - 1), color)
    if ring is not None:
        c.fill(Ellipse(cx, cy, r * 0.72, r * 0.72, hole=0.75), ring)
    c.fill(Ellipse(cx, cy, r * 0.3, r * 0.3), 0x7C8794)
    c.fill(Ellipse(cx, cy, r * 0.18, r * 0.18), WHITE)


def box(c, face=0xB7834B, top=0xD9A768, side=0x8E6234):
    c.fill(Polygon((4, 11), (16, 5), (28, 11), (16, 17)), top)
    c.fill(Polygon((4, 11), (16, 17), (16, 29), (4, 23)), face)
    c.fill(Polygon((16, 17), (28, 11), (28, 23), (16, 29)), side)


def monitor(c, screen=0x3F7FD0):
    c.outlined(Rect(3, 4, 29, 22, 2), screen, INK, 1.6)
    c.fill(Rect(13, 22, 19, 26), INK)
    c.fill(Rect(9, 26, 23, 28.5, 1), INK)


def unit(c, y0=5, y1=27, led=0x4CC35A, body=0x4A5260):
    c.fill(Rect(8, y0, 24, y1, 2), body)
    c.fill(Rect(10, y0 + 2, 22, y0 + 4), 0x6C7686)
    c.fill(Rect(10, y0 + 6, 22, y0 + 8), 0x6C7686)
    c.fill(Ellipse(12, y1 - 3, 1.6, 1.6), led)
    c.fill(Ellipse(17, y1 - 3, 1.6, 1.6), led)


def drive(c, body=0x9AA3AE, light=0x4CC35A):
    c.fill(Rect(2, 10, 30, 24, 2), 0x5B6470)
    c.fill(Rect(3.2, 11.2, 28.8, 22.8, 1.2), body)
    c.fill(Rect(6, 14, 22, 16), 0x3B424C)
    c.fill(Ellipse(25, 19, 1.8, 1.8), light)


def cross(c, x=22, y=22, color=0xD9342B):
    c.fill(Ellipse(x, y, 7, 7), color)
    c.fill(Line(x - 3.2, y - 3.2, x + 3.2, y + 3.2, 2.2), WHITE)
    c.fill(Line(x - 3.2, y + 3.2, x + 3.2, y - 3.2, 2.2), WHITE)


def badge(c, color, x=24, y=24, r=5.5):
    c.fill(Ellipse(x, y, r + 1, r + 1), WHITE)
    c.fill(Ellipse(x, y, r, r), color)


def globe(c, color=0x2E9BD6):
    c.fill(Ellipse(16, 16, 13, 13), 0x1F6E9C)
    c.fill(Ellipse(16, 16, 12, 12), color)
    c.fill(Ellipse(16, 16, 5.5, 12, hole=0.8), 0xBFE4F7)
    c.fill(Rect(4, 15.2, 28, 16.8), 0xBFE4F7)
    c.fill(Rect(6, 9.3, 26, 10.6), 0xBFE4F7)
    c.fill(Rect(6, 21.4, 26, 22.7), 0xBFE4F7)


def tower(c, light):
    c.fill(Rect(9, 3, 23, 29, 2), 0x59616E)
    c.fill(Rect(11, 6, 21, 9), 0x2F353E)
    c.fill(Rect(11, 11, 21, 14), 0x2F353E)
    c.fill(Ellipse(16, 24, 2.2, 2.2), light)


def play(c, color):
    c.fill(Polygon((13, 13), (22, 18.5), (13, 24)), color)


def note(c, color):
    c.fill(Ellipse(14, 23, 3, 2.4), color)
    c.fill(Rect(16, 11, 17.6, 23), color)
    c.fill(Polygon((16, 11), (22, 13), (22, 15.5), (16, 13.5)), color)


def lines(c):
    for y in (13, 17, 21, 25):
        c.fill(Rect(10, y, 23, y + 1.4), 0x7C8794)


DEVICE_COLORS = [0x9AA3AE, 0x7FA8D8, 0x8CC38A, 0xE0B45A, 0xD98A8A, 0xB59AD6, 0x7CC7C4,
                 0xC9C27A, 0xA8B8C8, 0xD6A0C8, 0x9FD0A0]
ROW_COLORS = [0x4C8ED9, 0x5BB56A, 0xE09A3C, 0xC0504D, 0x8E6BC2, 0x3BAFAE, 0xB8A23C,
              0x6B7A8F, 0xD46FA8, 0x7DAF3C, 0x4C6ED9, 0xC27A3C, 0x3C8F6B]


def draw(kind):
    c = Canvas()
    if kind == 0:
        return c
    if kind == 1:
        monitor(c)
    elif kind in (2, 3, 4):
        if kind == 4:
            box(c, 0xC7C9CC, 0xE1E3E6, 0xA3A6AB)
        else:
            box(c)
        if kind == 3:
            badge(c, 0xD9342B, 25, 7, 4)
    elif kind in (5, 6):
        folder(c, opened=(kind == 6))
    elif kind == 7:
        page(c)
    elif kind == 8:
        page(c, lambda c: (c.fill(Rect(10, 13, 23, 25, 1), 0x3F7FD0),
                           c.fill(Rect(10, 13, 23, 16), 0x1F4E8C)))
    elif kind == 9:
        page(c, lines)
    elif kind == 10:
        page(c, lambda c: play(c, 0xC0504D))
    elif kind == 11:
        page(c, lambda c: (c.fill(Polygon((9, 26), (15, 16), (19, 22), (21, 19), (25, 26)),
                                  0x4C9A5A), c.fill(Ellipse(20, 13, 2.2, 2.2), 0xE0B030)))
    elif kind == 12:
        page(c, lambda c: [c.fill(Rect(14, y, 18, y + 2), 0x6C4A2A) for y in range(6, 27, 4)])
    elif kind == 13:
        page(c, lambda c: (c.fill(Polygon((10, 17), (16, 14), (22, 17), (16, 20)), 0xD9A768),
                           c.fill(Polygon((10, 17), (16, 20), (16, 26), (10, 23)), 0xB7834B),
                           c.fill(Polygon((16, 20), (22, 17), (22, 23), (16, 26)), 0x8E6234)))
    elif kind == 14:
        globe(c, 0x3BAFAE)
    elif kind == 15:
        tower(c, 0x4CC35A)
    elif kind == 16:
        tower(c, 0xE8C53A)
    elif kind == 17:
        tower(c, 0x9AA3AE)
        cross(c)
    elif 18 <= kind <= 24 or 41 <= kind <= 44:
        i = kind - 18 if kind <= 24 else kind - 41 + 7
        drive(c, DEVICE_COLORS[i], 0xE8C53A if kind in (20, 44) else 0x4CC35A)
        if kind in (20, 44):
            badge(c, 0xE8C53A, 25, 7, 4)
    elif kind == 29:
        folder(c, 0x8CC3E8, 0x4F8FC0)
        badge(c, 0x3B6FB0, 23, 22, 4.5)
    elif kind in (25, 26, 27, 28, 30, 31, 32) or 45 <= kind <= 51:
        order = [25, 26, 27, 28, 30, 31, 32, 45, 46, 47, 48, 49, 50, 51]
        disc(c, ring=ROW_COLORS[order.index(kind) % len(ROW_COLORS)])
    elif kind == 33:
        monitor(c, 0x2F9C8F)
    elif kind == 34:
        drive(c)
        disc(c, 16, 9, 7)
    elif kind == 35:
        disc(c)
    elif kind == 36:
        disc(c, ring=0x4C8ED9)
    elif kind == 37:
        disc(c, ring=0x8E6BC2)
        play(c, 0x5A3F8C)
    elif kind == 38:
        disc(c, ring=0x5BB56A)
        note(c, 0x2F6E3A)
    elif kind in (39, 40):
        c.fill(Rect(9, 9, 23, 23, 2), 0xC7C9CC)
    elif kind == 52:
        unit(c, 3, 15)
        unit(c, 17, 29)
    elif kind == 53:
        unit(c)
    elif kind == 54:
        globe(c)
    elif kind == 55:
        unit(c, led=0x8A8F96, body=0x8A919C)
        cross(c)
    elif kind == 56:
        unit(c, led=0xE8A33A)
        badge(c, 0xE8A33A, 24, 7, 4.5)
    elif kind == 57:
        disc(c, 14, 14, 11, ring=0x4C8ED9)
        c.outlined(Rect(19, 18, 29, 30, 1), WHITE, INK, 1)
        lines_small = [(21, 22), (21, 25)]
        for x, y in lines_small:
            c.fill(Rect(x, y, x + 6, y + 1.2), 0x7C8794)
    elif kind == 58:
        folder(c)
        disc(c, 20, 20, 7, ring=0x4C8ED9)
    elif kind == 59:
        unit(c, led=0x4C8ED9)
        c.fill(Line(21, 10, 29, 2, 2.4), 0x2E7BD6)
        c.fill(Polygon((24, 2), (30, 1), (29, 7)), 0x2E7BD6)
    return c


def main():
    out = sys.argv[1]
    png_dir = sys.argv[2] if len(sys.argv) > 2 else None
    pngs = [draw(k).png() for k in range(COUNT)]
    lines = ["// Generated by gen_node_icons.py: the node-kind icons, icon i for kind i.",
             "#include <cstddef>", "", "namespace nodeicons {"]
    for k, data in enumerate(pngs):
        body = ",".join(str(b) for b in data)
        lines.append("static const unsigned char kIcon%02d[] = {%s};" % (k, body))
        if png_dir:
            with open(os.path.join(png_dir, "kind%02d.png" % k), "wb") as f:
                f.write(data)
    lines.append("extern const unsigned char* const kIcons[%d] = {%s};" %
                 (COUNT, ", ".join("kIcon%02d" % k for k in range(COUNT))))
    lines.append("extern const std::size_t kIconSizes[%d] = {%s};" %
                 (COUNT, ", ".join("sizeof kIcon%02d" % k for k in range(COUNT))))
    lines.append("} // namespace nodeicons")
    text = "\n".join(lines) + "\n"
    tmp = out + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
