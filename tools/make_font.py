#!/usr/bin/env python3
"""Builds the stroke font file font.bin from a Hershey font in the .jhf text form.

The glyphs come from the public-domain Hershey fonts as packaged by Debian in
hershey-fonts-data (/usr/share/hershey-fonts/). The shipped data/font.bin is made from
futural.jhf (the simplex Roman alphabet), characters 32 to 127 in order:

    python3 tools/make_font.py /usr/share/hershey-fonts/futural.jhf data/font.bin

A .jhf record is a 5-character glyph number, a 3-character count of coordinate pairs,
then the pairs: the left and right extents, then points (x, y with y downward), each
byte read relative to 'R'; the pair " R" lifts the pen. Long records may be wrapped
over several lines. That is already the stroke record of font.bin, so each record is
copied byte for byte.

font.bin: all integers 16-bit little-endian signed:
    n, total (stroke bytes / 2), ascender, descender, maximum width,
    then n times: length, length bytes of the stroke record.
The ascender and descender are the highest and lowest point of any glyph, measured
upward from the 'R' line; the maximum width is the widest right - left extent.
"""

import struct
import sys

PEN_UP = ord(" ")
ORIGIN = ord("R")


def read_jhf(text):
    """Returns the stroke records (bytes) of a .jhf file, in file order."""
    data = text.replace("\r", "").replace("\n", "")
    records = []
    pos = 0
    while pos < len(data):
        if data[pos:].strip() == "":
            break
        header = data[pos:pos + 8]
        if len(header) < 8:
            raise ValueError(f"truncated glyph header at offset {pos}")
        try:
            pairs = int(header[5:8])
        except ValueError:
            raise ValueError(f"bad pair count {header[5:8]!r} at offset {pos}")
        body = data[pos + 8:pos + 8 + 2 * pairs]
        if len(body) != 2 * pairs or pairs < 1:
            raise ValueError(f"truncated glyph at offset {pos}")
        records.append(body.encode("ascii"))
        pos += 8 + 2 * pairs
    return records


def metrics(records):
    ascender = descender = None
    widest = 0
    for rec in records:
        widest = max(widest, rec[1] - rec[0])
        for i in range(2, len(rec) - 1, 2):
            if rec[i] == PEN_UP:
                continue
            up = ORIGIN - rec[i + 1]
            ascender = up if ascender is None else max(ascender, up)
            descender = up if descender is None else min(descender, up)
    return ascender or 0, descender or 0, widest


def build(records):
    if not 0 < len(records) <= 32767:
        raise ValueError("a font holds 1 to 32767 characters")
    stroke_bytes = sum(len(r) for r in records)
    if stroke_bytes % 2 or stroke_bytes // 2 > 32767:
        raise ValueError("stroke data too large for the file layout")
    ascender, descender, widest = metrics(records)
    out = bytearray(struct.pack("<5h", len(records), stroke_bytes // 2, ascender, descender, widest))
    for rec in records:
        out += struct.pack("<h", len(rec)) + rec
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        print("usage: make_font.py FONT.jhf font.bin", file=sys.stderr)
        return 2
    with open(argv[1], encoding="ascii") as f:
        records = read_jhf(f.read())
    with open(argv[2], "wb") as f:
        f.write(build(records))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
