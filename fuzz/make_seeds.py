#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/): a few small, valid inputs in the
byte layout each target reads. Deterministic; run again after changing that layout."""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(5)
# Layout numbers as fuzz_surface.cpp lists them: 1, 2, 4 and 8 bits with a palette, 8 bits with
# masks, then 15, 16, 24 and 32 bits.
PALETTE_BITS = {0: 1, 1: 2, 2: 4, 3: 8}
COMMON_FOR = {4: 6, 5: 4, 6: 4, 7: 2, 8: 0}  # a common mask set that fits each masked depth


def surface_bytes(layout, w, h, own_pitch, keyed, alpha):
    out = bytearray([layout, w - 1, h - 1])
    if layout in COMMON_FOR:
        out.append(0x80 | COMMON_FOR[layout])
    out.append(1 if alpha else 0)
    if own_pitch:
        out.append(3)  # three bytes of row padding
    if layout in PALETTE_BITS:
        # Magenta first, then green (1-bit palettes have no room for it), then other colours.
        n = 1 << PALETTE_BITS[layout]
        colours = [(255, 0, 255)] + ([(0, 255, 0)] if n > 2 else [])
        while len(colours) < n:
            colours.append((rng.randrange(256), rng.randrange(256), rng.randrange(256)))
        out += bytes(v for c in colours for v in c)
    out.append(1 if keyed else 0)
    if keyed:
        out += bytes([0, 0, 0, 1])
    if alpha:
        out.append(128)
    return out


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


for layout in range(9):
    for keyed in (False, True):
        data = bytearray([0]) + surface_bytes(layout, 5, 3, True, keyed, layout == 8)
        data += bytes(rng.randrange(256) for _ in range(5 * 3 * 4))
        write("fuzz_png_writer", f"layout{layout}{'_keyed' if keyed else ''}", data)

    # A 12x6 sheet: two glyphs with right markers and a marker run on the first row, a row
    # line, then one more glyph. Symbols: < 64 marker, < 96 row line, else a colour.
    M, L = 10, 70
    rows = []
    for y in range(3):
        rows.append([200, 150, 120, M, 180 + y, 130, M, M, M, M, M, M])
    rows.append([L] * 12)
    for y in range(2):
        rows.append([110, 140 + y, M] + [M] * 9)
    data = bytearray([1]) + surface_bytes(layout, 12, 6, False, False, False)
    data += bytes(v for row in rows for v in row)
    write("fuzz_font_sheet", f"layout{layout}", data)

indexes = {
    "sprites": open(os.path.join(HERE, "..", "examples", "atlas", "sprites.txt"), "rb").read(),
    "offsets": b"* a.png size 64 64\nhero 0 0 16 16 off 2 3\nfoe 16 0 8 8 off 1\n"
               b"* b.png size 8 8\ntile 0 0 8 8\n",
    "errors": b"* a.png size 4 4\nshort 1 2\nbig 99999999999 0 1 1\n  \t\n*\n",
    "no_header": b"hero 0 0 1 1\n",
}
for name, text in indexes.items():
    write("fuzz_atlas_index", name, text)
