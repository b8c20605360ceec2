#!/usr/bin/python3
"""Draws the sample atlas in examples/atlas: two atlas images and the index that lists them.

Needs Debian's python3-pil. sprites.png is RGBA: four sprites with soft, partly transparent
edges. tiles.png is a paletted image whose first palette entry is transparent, as editors and
PNG optimisers write them: two tiles and a transparent gap. sprites.txt cuts each piece out and
gives each its drawing offset (for the sprites, the point they stand on).
"""
import os
import sys

from PIL import Image, ImageDraw

INDEX = """\
* sprites.png size 128 64
coin.png 0 0 32 32 off 16 16
heart.png 32 0 32 32 off 16 16
gem.png 64 0 32 32 off 16 30
tree.png 96 0 32 64 off 16 62
* tiles.png size 96 32
grass.png 0 0 32 32 off 0 0
water.png 32 0 32 32 off 0 0
gap.png 64 0 32 32 off 0 0
"""


def sprites():
    img = Image.new("RGBA", (128, 64), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse([3, 3, 28, 28], fill=(250, 200, 40, 255), outline=(160, 110, 10, 255), width=2)
    d.ellipse([10, 8, 16, 14], fill=(255, 245, 190, 200))
    d.ellipse([36, 6, 50, 20], fill=(220, 30, 60, 255))
    d.ellipse([46, 6, 60, 20], fill=(220, 30, 60, 255))
    d.polygon([(37, 16), (59, 16), (48, 29)], fill=(220, 30, 60, 255))
    d.polygon([(80, 2), (92, 14), (80, 30), (68, 14)], fill=(60, 200, 230, 180),
              outline=(20, 90, 160, 255))
    d.rectangle([109, 44, 114, 62], fill=(120, 70, 30, 255))
    d.ellipse([98, 4, 125, 48], fill=(40, 150, 60, 230))
    return img


def tiles():
    rgba = Image.new("RGBA", (96, 32), (0, 0, 0, 0))
    d = ImageDraw.Draw(rgba)
    d.rectangle([0, 0, 31, 31], fill=(70, 160, 60, 255))
    for x in range(2, 32, 6):
        d.line([(x, 31), (x + 2, 24)], fill=(40, 110, 40, 255))
    d.rectangle([32, 0, 63, 31], fill=(40, 90, 200, 255))
    for y in range(4, 32, 8):
        d.line([(34, y), (61, y + 2)], fill=(150, 190, 250, 255))
    # Palette index 0 is the transparent entry; every other colour is opaque.
    colours = [(0, 0, 0)]
    indices = []
    for r, g, b, a in rgba.getdata():
        if a == 0:
            indices.append(0)
            continue
        if (r, g, b) not in colours:
            colours.append((r, g, b))
        indices.append(colours.index((r, g, b)))
    img = Image.new("P", rgba.size)
    img.putpalette([c for rgb in colours for c in rgb])
    img.putdata(indices)
    img.info["transparency"] = 0
    return img


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "atlas")
    os.makedirs(out, exist_ok=True)
    sprites().save(os.path.join(out, "sprites.png"))
    tiles().save(os.path.join(out, "tiles.png"), transparency=0)
    with open(os.path.join(out, "sprites.txt"), "w") as f:
        f.write(INDEX)


if __name__ == "__main__":
    main()
