// Building SDL surfaces of any pixel format from known pixels, for tests.
#pragma once

#include <SDL.h>

#include <vector>

#include "png_io.h"
#include "surface_ptr.h"

// Stores `value` (already in the surface's format) at (x, y), for any depth from 1 to 32 bits.
void store_pixel(SDL_Surface* surface, int x, int y, Uint32 value);

// A surface of the given depth and masks holding `image`, each pixel mapped with SDL_MapRGBA.
SurfacePtr surface_from_image(const Image& image, int depth, Uint32 rmask, Uint32 gmask,
                              Uint32 bmask, Uint32 amask);

// A paletted surface of `depth` bits (1, 2, 4 or 8) whose palette holds the colours of `image`
// in order of first appearance.
SurfacePtr palette_surface_from_image(const Image& image, int depth);

// A small asymmetric picture: every pixel differs from its neighbours and from its mirror
// images, so flips, swapped channels and shifted rows all show. Channels are multiples of 16,
// which every format of 4 or more bits per channel holds exactly.
Image asymmetric_image(int width, int height, bool with_alpha);

// A pixel layout: depth and channel masks (all 0 for a palette).
struct SurfaceLayout {
    int depth;
    Uint32 r, g, b, a;
};
// One layout of each depth of 8 bits or more, 24 bits in both byte orders.
const std::vector<SurfaceLayout>& layouts_of_every_depth();
