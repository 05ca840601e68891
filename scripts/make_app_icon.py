#!/usr/bin/env python3
"""Draws the application icon (a questionnaire on a clipboard) for the desktop menu.

One drawing, described once in SHAPES on a 256 x 256 canvas, is written as
packaging/icons/hicolor/scalable/apps/quenvale.svg and rendered, with anti-aliasing by
supersampling, to packaging/icons/hicolor/NxN/apps/quenvale.png for every size in SIZES.
Only the standard library is used, and the output is committed, so the package build needs
nothing beyond CMake:

    python3 scripts/make_app_icon.py
"""
import math
import os
import struct
import zlib

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

BLUE = (32, 92, 176)
PAPER = (255, 255, 255)
SHADOW = (20, 60, 120)
CLIP = (90, 90, 96)
CLIP_LIGHT = (190, 190, 196)
GREEN = (40, 150, 60)
LINE = (150, 150, 158)
RED = (204, 36, 36)

# (kind, colour, geometry); later shapes paint over earlier ones.
#   rect:   (x0, y0, x1, y1, corner radius)
#   stroke: (width, [(x, y), ...])   a polyline with round caps and joins
#   circle: (cx, cy, r)
SHAPES = [
    ("rect", BLUE, (8, 8, 248, 248, 44)),
    ("rect", SHADOW, (60, 48, 204, 236, 14)),
    ("rect", PAPER, (52, 40, 196, 228, 14)),
    ("rect", CLIP, (88, 22, 160, 62, 12)),
    ("rect", CLIP_LIGHT, (104, 30, 144, 44, 6)),
    ("stroke", GREEN, (14, [(72, 98), (86, 112), (110, 84)])),
    ("stroke", LINE, (12, [(126, 98), (176, 98)])),
    ("stroke", GREEN, (14, [(72, 146), (86, 160), (110, 132)])),
    ("stroke", LINE, (12, [(126, 146), (176, 146)])),
    ("stroke", LINE, (12, [(76, 194), (130, 194)])),
    ("circle", RED, (168, 194, 22)),
]


def covers(kind, geometry, x, y):
    """Whether the canvas point (x, y) lies inside the shape."""
    if kind == "rect":
        x0, y0, x1, y1, r = geometry
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if kind == "circle":
        cx, cy, r = geometry
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    width, points = geometry
    half = width / 2
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        if math.hypot(x - ax - t * dx, y - ay - t * dy) <= half:
            return True
    return False


def bounds(kind, geometry):
    if kind == "rect":
        return geometry[:4]
    if kind == "circle":
        cx, cy, r = geometry
        return cx - r, cy - r, cx + r, cy + r
    width, points = geometry
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width


def render(size):
    """RGBA rows of the drawing at size x size pixels."""
    ss = 4 if size <= 64 else 2
    n = size * ss
    scale = 256.0 / n
    # Sample grid: colour per sample, None when transparent.
    grid = [[None] * n for _ in range(n)]
    for kind, colour, geometry in SHAPES:
        x0, y0, x1, y1 = bounds(kind, geometry)
        for j in range(max(0, int(y0 / scale)), min(n, int(y1 / scale) + 1)):
            y = (j + 0.5) * scale
            row = grid[j]
            for i in range(max(0, int(x0 / scale)), min(n, int(x1 / scale) + 1)):
                if covers(kind, geometry, (i + 0.5) * scale, y):
                    row[i] = colour
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for j in range(py * ss, py * ss + ss):
                for i in range(px * ss, px * ss + ss):
                    c = grid[j][i]
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row += bytes((r // a, g // a, b // a, a * 255 // (ss * ss)))
            else:
                row += b"\x00\x00\x00\x00"
        rows.append(bytes(row))
    return rows


def png(size, rows):
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def svg():
    def hexc(c):
        return "#%02x%02x%02x" % c

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for kind, colour, geometry in SHAPES:
        if kind == "rect":
            x0, y0, x1, y1, r = geometry
            out.append('  <rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
                       % (x0, y0, x1 - x0, y1 - y0, r, hexc(colour)))
        elif kind == "circle":
            cx, cy, r = geometry
            out.append('  <circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx, cy, r, hexc(colour)))
        else:
            width, points = geometry
            d = " ".join("%s%g %g" % ("M" if k == 0 else "L", x, y) for k, (x, y) in enumerate(points))
            out.append('  <path d="%s" fill="none" stroke="%s" stroke-width="%g" '
                       'stroke-linecap="round" stroke-linejoin="round"/>' % (d, hexc(colour), width))
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "icons", "hicolor")
    for size in SIZES:
        folder = os.path.join(root, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "quenvale.png"), "wb") as f:
            f.write(png(size, render(size)))
    folder = os.path.join(root, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "quenvale.svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
