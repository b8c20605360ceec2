#!/usr/bin/env python3
"""Draws docs/sheet_layout.png for the README: the top left corner of the sample font sheet,
enlarged, with transparent pixels shown as a grey checkerboard and a grid between pixels, so the
magenta markers and the green row line stand out. Needs Debian's python3-pil.

    /usr/bin/python3 docs/make_sheet_picture.py examples/dejavu_sans_18.png docs/sheet_layout.png
"""
import sys

from PIL import Image

WIDTH, HEIGHT, SCALE = 72, 30, 9

sheet = Image.open(sys.argv[1]).convert("RGBA").crop((0, 0, WIDTH, HEIGHT))
out = Image.new("RGB", (WIDTH * SCALE, HEIGHT * SCALE))
px = out.load()
for y in range(HEIGHT):
    for x in range(WIDTH):
        r, g, b, a = sheet.getpixel((x, y))
        for dy in range(SCALE):
            for dx in range(SCALE):
                # A checkerboard of two greys behind transparent pixels, one square a pixel.
                back = 88 if (x + y) % 2 else 64
                grid = dx == SCALE - 1 or dy == SCALE - 1
                c = tuple((v * a + back * (255 - a)) // 255 for v in (r, g, b))
                px[x * SCALE + dx, y * SCALE + dy] = tuple(v * 3 // 4 for v in c) if grid else c
out.save(sys.argv[2], optimize=True)
