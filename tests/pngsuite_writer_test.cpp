// The writer on the surfaces SDL_image really hands over: every basic PNG colour type, bit
// depth, palette, transparency and interlacing, loaded and written back.
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "png_writer.h"
#include "support/png_io.h"
#include "support/process.h"
#include "support/surfaces.h"

namespace {

const std::string kSuite = PNGSUITE_DIR;

// The picture a loaded surface shows: SDL_GetRGBA of each pixel, colour-keyed pixels
// transparent black.
Image shown_by(SDL_Surface* s) {
    Image out(s->w, s->h);
    const bool keyed = (s->flags & SDL_SRCCOLORKEY) && s->format->Amask == 0;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            const Uint8* p =
                static_cast<Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
            Uint32 v = 0;
            memcpy(&v, p, s->format->BytesPerPixel);  // little-endian host order
            Rgba& c = out.at(x, y);
            if (keyed && v == s->format->colorkey) {
                c = {0, 0, 0, 0};
            } else {
                SDL_GetRGBA(v, s->format, &c.r, &c.g, &c.b, &c.a);
            }
        }
    SDL_UnlockSurface(s);
    return out;
}

TEST(PngSuiteWriter, EveryLoadedImageIsWrittenAsItShows) {
    if (kSuite.empty() || !std::filesystem::is_directory(kSuite))
        GTEST_SKIP() << "the basic PNG test images are not here (PNGSUITE_DIR)";
    ASSERT_EQ(SDL_BYTEORDER, SDL_LIL_ENDIAN) << "shown_by reads pixels in little-endian order";
    int images = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        if (entry.path().extension() != ".png") continue;
        const std::string name = entry.path().filename();
        SCOPED_TRACE(name);
        SurfacePtr s(IMG_Load(entry.path().c_str()));
        ASSERT_TRUE(s) << IMG_GetError();
        TempDir dir;
        ASSERT_EQ(png_save_surface((dir / "out.png").c_str(), s.get()), 0);
        DecodedPng png = read_png(dir / "out.png");
        ASSERT_TRUE(png.ok) << png.error;
        const bool alpha = s->format->Amask || (s->flags & SDL_SRCCOLORKEY);
        EXPECT_EQ(png.colour_type, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(png.image, shown_by(s.get()));
        ++images;
    }
    EXPECT_GE(images, 50);
}

}  // namespace
