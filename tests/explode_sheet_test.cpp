// The sheet scan in-process: pixel reading in every depth, and sheets SDL wants locked.
#include <gtest/gtest.h>

#include <string>

#include "explode_font.h"
#include "support/png_io.h"
#include "support/process.h"
#include "support/sheet.h"
#include "support/surfaces.h"

namespace {

TEST(VyGetPixel, ReadsThePixelValueInEveryDepth) {
    for (const SurfaceLayout& c : layouts_of_every_depth()) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        SurfacePtr s(SDL_CreateRGBSurface(0, 3, 2, c.depth, c.r, c.g, c.b, c.a));
        ASSERT_TRUE(s);
        // Each pixel a value of its own (a palette index at 8 bits); 24-bit pixels read back
        // as SDL_MapRGB of their three bytes, which is the same value.
        auto value = [&](int x, int y) {
            Uint8 k = Uint8(40 * (y * 3 + x) + 7);
            return c.depth == 8 ? Uint32(k)
                                : SDL_MapRGBA(s->format, k, Uint8(255 - k), Uint8(k / 2), 200);
        };
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) store_pixel(s.get(), x, y, value(x, y));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(VyGetPixel(s.get(), x, y), value(x, y)) << "at " << x << "," << y;
    }
}

TEST(ExplodeSheet, SheetThatMustBeLockedStillExplodes) {
    // The scan must read through the lock (its pixels begin `offset` bytes in) and blit with
    // the sheet unlocked. Two rows of junk lie before the real pixels.
    Sheet sheet = build_sheet(
        {{test_glyph(3, 2, 1, true), test_glyph(2, 3, 2, true)}, {test_glyph(4, 1, 3, true)}});
    const int junk_rows = 2, w = sheet.image.width, h = sheet.image.height;
    SurfacePtr s(SDL_CreateRGBSurface(0, w, h + junk_rows, 32, 0x000000FF, 0x0000FF00, 0x00FF0000,
                                      0xFF000000));
    ASSERT_TRUE(s);
    for (int y = 0; y < h + junk_rows; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba c = y < junk_rows ? Rgba{1, 2, 3, 255} : sheet.image.at(x, y - junk_rows);
            store_pixel(s.get(), x, y, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
        }
    s->offset = junk_rows * s->pitch;
    s->h = h;
    ASSERT_TRUE(SDL_MUSTLOCK(s.get()));

    TempDir dir;
    font_name = "locked.png";
    const std::string out = dir.path;
    output_path = out.c_str();
    testing::internal::CaptureStdout();
    int failures = explode_sheet(s.get());
    testing::internal::GetCapturedStdout();
    s->offset = 0;  // as SDL created it, for SDL_FreeSurface
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(s->locked, 0);
    ASSERT_EQ(list_dir(dir.path),
              (std::vector<std::string>{"locked.png_033.png", "locked.png_034.png",
                                        "locked.png_035.png"}));
    for (const PlacedGlyph& g : sheet.glyphs)
        EXPECT_EQ(read_png(dir / glyph_name("locked.png", g.code)).image, g.image) << g.code;
}

}  // namespace
