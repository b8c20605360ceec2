// glue_font's pixel store in-process, in every depth SDL surfaces come in.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "glue_font.h"
#include "support/surfaces.h"

namespace {

TEST(PutPixel, StoresTheValueSdlReadsBackInEveryDepth) {
    for (const SurfaceLayout& c : layouts_of_every_depth()) {
        SCOPED_TRACE("depth " + std::to_string(c.depth));
        SurfacePtr s(SDL_CreateRGBSurface(0, 3, 2, c.depth, c.r, c.g, c.b, c.a));
        ASSERT_TRUE(s);
        const Uint32 value = c.depth == 8 ? 0xA7 : SDL_MapRGBA(s->format, 200, 16, 96, 128);
        PutPixel(s.get(), 2, 1, value);
        // Outside the surface: dropped, and nothing else changes.
        for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}})
            PutPixel(s.get(), x, y, value);
        // SDL's own fill stores the same value in a twin surface: the bytes must agree.
        SurfacePtr twin(SDL_CreateRGBSurface(0, 3, 2, c.depth, c.r, c.g, c.b, c.a));
        SDL_Rect spot{2, 1, 1, 1};
        ASSERT_EQ(SDL_FillRect(twin.get(), &spot, value), 0);
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(0, memcmp(static_cast<Uint8*>(s->pixels) + y * s->pitch,
                                static_cast<Uint8*>(twin->pixels) + y * twin->pitch,
                                3 * s->format->BytesPerPixel))
                << "row " << y;
    }
}

}  // namespace
