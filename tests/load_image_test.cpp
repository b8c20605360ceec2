// Loading images as all three programs do: grey PNGs with a transparent level, which SDL_image
// hands over in a layout of its own, come out as the grey and transparency they hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_loading.h"
#include "support/png_io.h"
#include "support/process.h"
#include "surface_ptr.h"

namespace {

// SDL_GetRGBA of every pixel of `s`, read as 32-bit RGBA.
Image pixels_of(SDL_Surface* s) {
    Image out(s->w, s->h);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            Uint32 v =
                *reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x);
            Rgba& c = out.at(x, y);
            SDL_GetRGBA(v, s->format, &c.r, &c.g, &c.b, &c.a);
        }
    return out;
}

TEST(LoadImage, GreyWithATransparentLevelKeepsItsGreyAndTransparency) {
    for (int depth : {1, 2, 4, 8, 16}) {
        SCOPED_TRACE("grey of " + std::to_string(depth) + " bits");
        // 5x3, every level the depth holds, in an order that is neither a row nor its mirror.
        const int levels = depth == 16 ? 65536 : 1 << depth;
        std::vector<uint16_t> samples;
        for (int i = 0; i < 15; ++i)
            samples.push_back(uint16_t((i * 7 + 3) % 15 * (levels - 1) / 14));
        const int transparent = levels - 1;  // white, at (3, 1) only
        TempDir dir;
        write_png_grey(dir / "g.png", 5, 3, depth, samples, transparent);
        DecodedPng want = read_png(dir / "g.png");
        ASSERT_TRUE(want.ok);

        SurfacePtr s(load_image((dir / "g.png").c_str()));
        ASSERT_TRUE(s) << SDL_GetError();
        ASSERT_EQ(s->format->BitsPerPixel, 32);
        EXPECT_TRUE(s->format->Amask);
        EXPECT_FALSE(s->flags & SDL_SRCCOLORKEY);
        EXPECT_EQ(pixels_of(s.get()), want.image);
        EXPECT_EQ(want.image.at(3, 1).a, 0);  // the fixture does hold a transparent pixel
        EXPECT_EQ(want.image.at(0, 0).a, 255);
    }
}

TEST(LoadImage, OtherImagesComeAsSdlImageLoadsThem) {
    TempDir dir;
    write_png_grey(dir / "plain.png", 2, 1, 8, {10, 200});
    SurfacePtr s(load_image((dir / "plain.png").c_str()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->format->BitsPerPixel, 8);  // a palette of grey levels
    EXPECT_EQ(load_image((dir / "missing.png").c_str()), nullptr);
    EXPECT_EQ(std::string(SDL_GetError()), "Couldn't open " + (dir / "missing.png"));
}

}  // namespace
