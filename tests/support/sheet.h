// Font sheets laid out by hand for tests, independent of the tools' own layout code.
#pragma once

#include <string>
#include <vector>

#include "png_io.h"

constexpr Rgba kMarker{255, 0, 255, 255};
constexpr Rgba kRowLine{0, 255, 0, 255};
constexpr Rgba kBackground{0, 0, 0, 0};

struct PlacedGlyph {
    int code, x, y;
    Image image;
};

struct Sheet {
    Image image;
    std::vector<PlacedGlyph> glyphs;  // in code order, from 33
};

struct SheetLayout {
    int width = 48;
    int lead_markers = 0;  // marker pixels on each row top line before the row's first glyph
    int gap = 1;           // marker pixels between two glyphs
    int extra_lines = 0;   // background lines below the last row line
};

// Lays the rows out as a font sheet: glyphs hang from each row's top line, separated by marker
// runs, with a bottom marker under each glyph shorter than its row and a row line under each row.
Sheet build_sheet(const std::vector<std::vector<Image>>& rows, const SheetLayout& layout = {});

// A glyph picture that holds neither key colour anywhere. With `few_colours` it draws on 12
// colours only, so a whole sheet of them fits a palette.
Image test_glyph(int width, int height, int seed, bool with_alpha, bool few_colours = false);

// The glyph file name explode_font and glue_font use for `code`.
std::string glyph_name(const std::string& font_file_name, int code);
