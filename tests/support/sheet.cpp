#include "sheet.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

Sheet build_sheet(const std::vector<std::vector<Image>>& rows, const SheetLayout& layout) {
    int height = layout.extra_lines;
    for (const auto& row : rows) {
        int tallest = 0;
        for (const Image& g : row) tallest = std::max(tallest, g.height);
        height += tallest + 1;
    }
    Sheet sheet{Image(layout.width, height, kBackground), {}};
    int y = 0, code = 33;
    for (const auto& row : rows) {
        int tallest = 0;
        for (const Image& g : row) tallest = std::max(tallest, g.height);
        for (int x = 0; x < layout.width; ++x) sheet.image.at(x, y) = kMarker;
        int x = layout.lead_markers;
        for (const Image& g : row) {
            if (x + g.width >= layout.width) throw std::runtime_error("row too wide for the sheet");
            for (int gy = 0; gy < g.height; ++gy)
                for (int gx = 0; gx < g.width; ++gx) sheet.image.at(x + gx, y + gy) = g.at(gx, gy);
            sheet.image.at(x, y + g.height) = kMarker;
            sheet.glyphs.push_back({code++, x, y, g});
            x += g.width + layout.gap;
        }
        for (int x2 = 0; x2 < layout.width; ++x2) sheet.image.at(x2, y + tallest) = kRowLine;
        y += tallest + 1;
    }
    return sheet;
}

Image test_glyph(int width, int height, int seed, bool with_alpha, bool few_colours) {
    static const Rgba kColours[12] = {
        {255, 255, 255, 255}, {200, 40, 40, 255},  {40, 200, 40, 255},   {40, 40, 200, 255},
        {250, 10, 240, 255},  {10, 250, 10, 255},  {128, 128, 128, 255}, {16, 16, 16, 255},
        {240, 200, 16, 255},  {16, 200, 240, 255}, {255, 1, 255, 255},   {0, 254, 0, 255},
    };
    Image g(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int i = seed * 31 + y * width + x;
            Rgba c = few_colours ? kColours[(seed + x + 3 * y) % 12]
                                 : Rgba{uint8_t(16 * ((7 * i + 3) % 16)),
                                        uint8_t(16 + 16 * ((3 * i + seed) % 14)),
                                        uint8_t(16 * ((5 * i + 1) % 16)), 255};
            if (with_alpha) c.a = uint8_t(17 * (1 + (x + 2 * y + seed) % 15));
            g.at(x, y) = c;
        }
    return g;
}

std::string glyph_name(const std::string& font_file_name, int code) {
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%03d.png", code);
    return font_file_name + suffix;
}
