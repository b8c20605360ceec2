#!/usr/bin/python3
"""Renders the sample font sheet examples/dejavu_sans_18.png from DejaVu Sans.

Needs Debian's python3-pil and fonts-dejavu-core. The sheet holds the glyphs of codes 33 to 254
(Latin-1) as white text with antialiased alpha on a transparent background, laid out the way the
font tools expect: glyphs left to right from column 0 on each row's top line, one magenta marker
pixel to the right of each glyph and one below its bottom-left pixel, the rest of each row's top
line magenta, a green row line under each row, the next row directly below it.
"""
import sys

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SIZE = 18
WIDTH = 1024
FIRST, LAST = 33, 254
MARKER = (255, 0, 255, 255)
ROW_LINE = (0, 255, 0, 255)


def glyph_image(font, code, height):
    """One glyph: white, its coverage as alpha; codes without a printable character get a box."""
    ascent, _ = font.getmetrics()
    if 127 <= code <= 160:
        img = Image.new("RGBA", (8, height), (0, 0, 0, 0))
        ImageDraw.Draw(img).rectangle([1, 3, 6, ascent - 1], outline=(255, 255, 255, 160))
        return img
    ch = chr(code)
    width = max(1, round(font.getlength(ch)))
    coverage = Image.new("L", (width, height), 0)
    ImageDraw.Draw(coverage).text((0, 0), ch, font=font, fill=255)
    img = Image.new("RGBA", (width, height), (255, 255, 255, 0))
    img.putalpha(coverage)
    return img


def main(out_path):
    font = ImageFont.truetype(FONT, SIZE)
    ascent, descent = font.getmetrics()
    height = ascent + descent
    glyphs = [glyph_image(font, code, height) for code in range(FIRST, LAST + 1)]

    # Lay out rows: a glyph fits while its right marker stays on the sheet.
    rows, row, x = [], [], 0
    for g in glyphs:
        if x + g.width > WIDTH - 1:
            rows.append(row)
            row, x = [], 0
        row.append((x, g))
        x += g.width + 1
    rows.append(row)

    sheet = Image.new("RGBA", (WIDTH, len(rows) * (height + 1)), (0, 0, 0, 0))
    px = sheet.load()
    for r, row in enumerate(rows):
        top = r * (height + 1)
        for x in range(WIDTH):
            px[x, top] = MARKER
        for x, g in row:
            sheet.paste(g, (x, top))
            px[x, top + height] = MARKER  # bottom marker, overwritten by the row line below
        for x in range(WIDTH):
            px[x, top + height] = ROW_LINE
    sheet.save(out_path, optimize=True)
    print(f"{out_path}: {sheet.width}x{sheet.height}, {len(glyphs)} glyphs in {len(rows)} rows")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/dejavu_sans_18.png")
