#!/usr/bin/env python3
"""Draws the pictures that ship in data/vtlayout/.

Layout thumbnails are drawn from the rectangles in data/vtlayout.ini, with the
same arithmetic the program uses, so a thumbnail always shows what the layout
does. The logos are simple geometric marks drawn here as well. Python 3
standard library only; the output is byte-for-byte reproducible.

Usage: scripts/make_layout_images.py [--check]
  --check  only compare with the committed files; exit 1 if any differs.
"""

import configparser
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
OUT = os.path.join(DATA, "vtlayout")

THUMB_W, THUMB_H = 96, 54
REF_W, REF_H = 1920, 1080

# ---------------------------------------------------------------- PNG output


def png_bytes(width, height, rgba):
    """rgba: bytearray of width*height*4, straight (not premultiplied) alpha."""
    raw = bytearray()
    stride = width * 4
    for y in range(height):
        raw.append(0)
        raw += rgba[y * stride:(y + 1) * stride]

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- canvas


class Canvas:
    """RGBA canvas in floats; shapes are painted with supersampled coverage."""

    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.w, self.h = width, height
        self.px = [list(background) for _ in range(width * height)]

    def paint(self, inside, color, bbox=None, samples=4):
        """inside(x, y) -> bool in pixel coordinates; color (r, g, b, a) 0..255."""
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        offsets = [(i + 0.5) / samples for i in range(samples)]
        total = samples * samples
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self._blend(x, y, color, hits / total)

    def fill_rect(self, x, y, w, h, color):
        for yy in range(max(0, y), min(self.h, y + h)):
            for xx in range(max(0, x), min(self.w, x + w)):
                self._blend(xx, yy, color, 1.0)

    def _blend(self, x, y, color, coverage):
        dst = self.px[y * self.w + x]
        a = color[3] / 255.0 * coverage
        da = dst[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for c in range(3):
            dst[c] = (color[c] * a + dst[c] * da * (1 - a)) / oa
        dst[3] = oa * 255.0

    def png(self):
        out = bytearray()
        for p in self.px:
            out += bytes(max(0, min(255, int(round(v)))) for v in p)
        return png_bytes(self.w, self.h, out)


# ---------------------------------------------------------------- shapes


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                result = not result
        return result
    return inside


def rounded_rect(x, y, w, h, r):
    def inside(px, py):
        if not (x <= px <= x + w and y <= py <= y + h):
            return False
        cx = min(max(px, x + r), x + w - r)
        cy = min(max(py, y + r), y + h - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside


def strokes(segments, radius):
    """Union of thick line segments with round ends."""
    def inside(x, y):
        for (xa, ya), (xb, yb) in segments:
            dx, dy = xb - xa, yb - ya
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
            ex, ey = xa + t * dx - x, ya + t * dy - y
            if ex * ex + ey * ey <= radius * radius:
                return True
        return False
    return inside


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


# Capital letters as polylines on a 4 x 6 grid: a plain geometric face that
# needs no font file.
GLYPHS = {
    "V": [[(0, 0), (2, 6), (4, 0)]],
    "I": [[(2, 0), (2, 6)]],
    "S": [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 2), (1, 3), (3, 3), (4, 4), (4, 5), (3, 6), (1, 6), (0, 5)]],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "R": [[(0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3), (0, 3)], [(2, 3), (4, 6)]],
    "E": [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]],
    "L": [[(0, 0), (0, 6), (4, 6)]],
}
GLYPH_ADVANCE = {"I": 2}


def text_segments(text, x, y, scale):
    """Segments of text whose top-left corner is (x, y); returns (segments, width)."""
    segments = []
    pen = x
    for ch in text:
        dx = -2 if ch == "I" else 0
        for line in GLYPHS[ch]:
            for (xa, ya), (xb, yb) in zip(line, line[1:]):
                segments.append(((pen + (xa + dx) * scale, y + ya * scale),
                                 (pen + (xb + dx) * scale, y + yb * scale)))
        pen += GLYPH_ADVANCE.get(ch, 6) * scale
    return segments, pen - x - 2 * scale


def text_bbox(segments, pad):
    xs = [p[0] for s in segments for p in s]
    ys = [p[1] for s in segments for p in s]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad + 1, max(ys) + pad + 1)


# ---------------------------------------------------------------- logos

WHITE = (255, 255, 255, 255)
SHADOW = (10, 20, 30, 150)


def draw_outlined_text(canvas, text, x, y, scale, weight, color=WHITE):
    segments, _ = text_segments(text, x, y, scale)
    canvas.paint(strokes(segments, weight + 2.5), SHADOW, text_bbox(segments, weight + 3))
    canvas.paint(strokes(segments, weight), color, text_bbox(segments, weight + 1))


def logo_circle():
    c = Canvas(384, 96)
    c.paint(circle(48, 48, 42), (10, 20, 30, 120), (0, 0, 96, 96))
    ring = minus(circle(48, 48, 40), circle(48, 48, 33))
    c.paint(ring, (40, 150, 240, 255), (0, 0, 96, 96))
    c.paint(circle(48, 48, 30), (40, 150, 240, 200), (0, 0, 96, 96))
    c.paint(polygon([(38, 30), (38, 66), (68, 48)]), WHITE, (30, 24, 72, 72))
    draw_outlined_text(c, "VISTREL", 110, 27, 7, 3.2)
    return c


def logo_hexagon():
    c = Canvas(128, 128)
    hexagon = [(64 + 58 * math.cos(math.radians(90 + 60 * k)), 64 + 58 * math.sin(math.radians(90 + 60 * k)))
               for k in range(6)]
    inner = [(64 + 48 * math.cos(math.radians(90 + 60 * k)), 64 + 48 * math.sin(math.radians(90 + 60 * k)))
             for k in range(6)]
    c.paint(polygon(hexagon), (245, 140, 30, 255))
    c.paint(polygon(inner), (200, 80, 20, 190))
    segments, _ = text_segments("V", 42, 34, 10)
    c.paint(strokes(segments, 7), WHITE, text_bbox(segments, 8))
    return c


def logo_live():
    c = Canvas(200, 80)
    c.paint(rounded_rect(4, 8, 192, 64, 14), (210, 30, 40, 230))
    c.paint(circle(34, 40, 11), WHITE, (20, 26, 48, 54))
    segments, _ = text_segments("LIVE", 62, 22, 6)
    c.paint(strokes(segments, 3.5), WHITE, text_bbox(segments, 5))
    return c


def logo_wordmark():
    c = Canvas(336, 80)
    draw_outlined_text(c, "VISTREL", 20, 16, 8, 3.5, (255, 255, 255, 210))
    c.paint(rounded_rect(20, 68, 296, 5, 2.5), (40, 150, 240, 220))
    return c


# ---------------------------------------------------------------- thumbnails


def scale_percent(total, v):
    """Same rule as CLayout::ScalePercent (C division truncates toward zero)."""
    def div(a, b):
        q = abs(a) // abs(b)
        return q if (a >= 0) == (b > 0) else -q
    if v > 100:
        return div(total * v, 1000)
    if v == 33:
        return div(total, 3)
    if v == 66:
        return div(total * 2, 3)
    if v == 99:
        return total
    return div(total * v, 100)


def ints(text):
    out = []
    for part in text.strip().strip('"').split(","):
        try:
            out.append(int(part.strip()))
        except ValueError:
            out.append(0)
    return out


def layout_rects(section, bar, width, height):
    postype = int(section.get("postype", "1"))
    rects = []
    for j in range(int(section.get("video", "0"))):
        x, y, w, h = (ints(section.get("pos%d" % j, "")) + [0, 0, 0, 0])[:4]
        if postype == 1:
            sx, sy = width / bar[0], height / bar[1]
            rects.append((x * sx, y * sy, w * sx, h * sy))
        elif postype == 2:
            def even(v):
                return v + 1 if v % 2 else v
            rects.append((even(scale_percent(width, x)), even(scale_percent(height, y)),
                          even(scale_percent(width, w)), even(scale_percent(height, h))))
    return rects


DIGITS = {  # 3 x 5
    "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"],
    "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"],
    "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"],
}
TILE_COLORS = [(52, 120, 200), (230, 140, 40), (70, 170, 90), (190, 70, 160), (200, 190, 60), (60, 175, 185)]


def thumbnail(rects):
    c = Canvas(THUMB_W, THUMB_H, (24, 28, 34, 255))
    fx, fy = THUMB_W / REF_W, THUMB_H / REF_H
    for j, (x, y, w, h) in enumerate(rects):
        x0, y0 = int(round(x * fx)), int(round(y * fy))
        x1, y1 = int(round((x + w) * fx)), int(round((y + h) * fy))
        r, g, b = TILE_COLORS[j % len(TILE_COLORS)]
        c.fill_rect(x0, y0, x1 - x0, y1 - y0, (235, 240, 245, 255))
        c.fill_rect(x0 + 1, y0 + 1, x1 - x0 - 2, y1 - y0 - 2, (r, g, b, 255))
        glyph = DIGITS.get(str(j + 1))
        if glyph and x1 - x0 >= 7 and y1 - y0 >= 9:
            gx, gy = (x0 + x1 - 3) // 2, (y0 + y1 - 5) // 2
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        c.fill_rect(gx + col, gy + row, 1, 1, (255, 255, 255, 255))
    return c


# ---------------------------------------------------------------- main


def read_ini(path):
    parser = configparser.ConfigParser(interpolation=None, comment_prefixes=(";", "#"))
    with open(path, encoding="gb2312") as f:
        parser.read_file(f)
    return parser


def outputs():
    ini = read_ini(os.path.join(DATA, "vtlayout.ini"))
    files = {}
    for i in range(int(ini["layout"]["count"])):
        section = ini["layout%d" % i]
        bar = ints(ini["bar%d" % i]["size"]) if ini.has_section("bar%d" % i) else [0, 0]
        files[section["thumbnail"]] = thumbnail(layout_rects(section, bar, REF_W, REF_H)).png()
    logos = {"logo_circle.png": logo_circle, "logo_hexagon.png": logo_hexagon,
             "logo_live.png": logo_live, "logo_wordmark.png": logo_wordmark}
    for k in range(int(ini["logo"]["count"])):
        name = ini["logo%d" % k]["file"]
        files[name] = logos[name]().png()
    return files


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    os.makedirs(OUT, exist_ok=True)
    for name, data in sorted(outputs().items()):
        path = os.path.join(OUT, name)
        current = open(path, "rb").read() if os.path.exists(path) else None
        if current == data:
            continue
        if check:
            stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
            print("wrote", os.path.relpath(path, ROOT))
    if stale:
        print("out of date:", ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
