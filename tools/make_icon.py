#!/usr/bin/env python3
"""Writes the program's icon, data/desktop/hopscope.svg and data/desktop/hopscope.png
(128 x 128), from one description: the network map in small, eight stations on a ring
on a dark disc, joined by links in the colours of the shipped palette.

Python 3 standard library only; the PNG is drawn here (4 x 4 samples a pixel), so the
two files show the same picture and no image tool is needed.

    python3 tools/make_icon.py          # writes data/desktop/hopscope.svg and .png
"""
import argparse
import math
import os
import struct
import zlib

SIZE = 128
BACKGROUND = (0x1E, 0x22, 0x2A)
RING = 44.0
STATION_RADIUS = 6.0
LINK_WIDTH = 4.0
# Links between stations by index, with palette colours (sky blue, orange, yellow,
# green, violet, cyan).
LINKS = [(0, 4, (0x4D, 0xA6, 0xFF)), (1, 5, (0xFF, 0xA5, 0x3D)), (2, 6, (0xFF, 0xEB, 0x4D)),
         (0, 3, (0x5C, 0xD6, 0x5C)), (5, 7, (0xC0, 0x7A, 0xFF)), (2, 4, (0x33, 0xE0, 0xE0))]


def stations():
    c = SIZE / 2
    return [(c + RING * math.cos(2 * math.pi * k / 8 - math.pi / 2),
             c + RING * math.sin(2 * math.pi * k / 8 - math.pi / 2)) for k in range(8)]


def svg():
    c = SIZE / 2
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">',
           f'  <circle cx="{c}" cy="{c}" r="{c - 2}" fill="#{"%02x%02x%02x" % BACKGROUND}"/>']
    pts = stations()
    for a, b, col in LINKS:
        (x1, y1), (x2, y2) = pts[a], pts[b]
        out.append(f'  <line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}" '
                   f'stroke="#{"%02x%02x%02x" % col}" stroke-width="{LINK_WIDTH}" stroke-linecap="round"/>')
    for x, y in pts:
        out.append(f'  <circle cx="{x:.2f}" cy="{y:.2f}" r="{STATION_RADIUS}" fill="#ffffff"/>')
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def segment_distance(px, py, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (x1 + t * dx), py - (y1 + t * dy))


def colour_at(x, y, pts):
    """The colour of the point (x, y), or None outside the disc: drawn in SVG order."""
    c = SIZE / 2
    if math.hypot(x - c, y - c) > c - 2:
        return None
    colour = BACKGROUND
    for a, b, col in LINKS:
        if segment_distance(x, y, *pts[a], *pts[b]) <= LINK_WIDTH / 2:
            colour = col
    for sx, sy in pts:
        if math.hypot(x - sx, y - sy) <= STATION_RADIUS:
            colour = (255, 255, 255)
    return colour


def png():
    pts = stations()
    n = 4
    rows = []
    for py in range(SIZE):
        row = bytearray([0])
        for px in range(SIZE):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    col = colour_at(px + (sx + 0.5) / n, py + (sy + 0.5) / n, pts)
                    if col:
                        r, g, b, a = r + col[0], g + col[1], b + col[2], a + 1
            row += bytes([r // a, g // a, b // a, 255 * a // (n * n)] if a else [0, 0, 0, 0])
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack('>IIBBBBB', SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) +
            chunk(b'IEND', b''))


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data', 'desktop')
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument('--output-dir', default=here)
    args = p.parse_args()
    with open(os.path.join(args.output_dir, 'hopscope.svg'), 'w', encoding='ascii') as f:
        f.write(svg())
    with open(os.path.join(args.output_dir, 'hopscope.png'), 'wb') as f:
        f.write(png())


if __name__ == '__main__':
    main()
