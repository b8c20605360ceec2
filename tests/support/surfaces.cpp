#include "surfaces.h"

#include <cstring>
#include <stdexcept>
#include <vector>

void store_pixel(SDL_Surface* surface, int x, int y, Uint32 value) {
    Uint8* row = static_cast<Uint8*>(surface->pixels) + y * surface->pitch;
    int bits = surface->format->BitsPerPixel;
    if (bits < 8) {
        int bit = x * bits, shift = 8 - bits - bit % 8;
        Uint8 mask = Uint8(((1u << bits) - 1) << shift);
        row[bit / 8] = Uint8((row[bit / 8] & ~mask) | ((value << shift) & mask));
        return;
    }
    Uint8* p = row + x * surface->format->BytesPerPixel;
    switch (surface->format->BytesPerPixel) {
        case 1:
            *p = Uint8(value);
            break;
        case 2: {
            Uint16 v = Uint16(value);
            memcpy(p, &v, 2);
            break;
        }
        case 3:
            if (SDL_BYTEORDER == SDL_LIL_ENDIAN) {
                p[0] = Uint8(value), p[1] = Uint8(value >> 8), p[2] = Uint8(value >> 16);
            } else {
                p[0] = Uint8(value >> 16), p[1] = Uint8(value >> 8), p[2] = Uint8(value);
            }
            break;
        default:
            memcpy(p, &value, 4);
    }
}

SurfacePtr surface_from_image(const Image& image, int depth, Uint32 rmask, Uint32 gmask,
                              Uint32 bmask, Uint32 amask) {
    SurfacePtr s(
        SDL_CreateRGBSurface(0, image.width, image.height, depth, rmask, gmask, bmask, amask));
    if (!s) throw std::runtime_error(SDL_GetError());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgba& c = image.at(x, y);
            store_pixel(s.get(), x, y, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
        }
    return s;
}

SurfacePtr palette_surface_from_image(const Image& image, int depth) {
    SurfacePtr s(SDL_CreateRGBSurface(0, image.width, image.height, depth, 0, 0, 0, 0));
    if (!s || !s->format->palette) throw std::runtime_error("no paletted surface");
    std::vector<SDL_Color> colours;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgba& c = image.at(x, y);
            size_t i = 0;
            while (i < colours.size() &&
                   !(colours[i].r == c.r && colours[i].g == c.g && colours[i].b == c.b))
                ++i;
            if (i == colours.size()) {
                if (int(i) >= s->format->palette->ncolors)
                    throw std::runtime_error("too many colours for the palette");
                colours.push_back({c.r, c.g, c.b, 0});
            }
            store_pixel(s.get(), x, y, Uint32(i));
        }
    SDL_SetColors(s.get(), colours.data(), 0, int(colours.size()));
    return s;
}

Image asymmetric_image(int width, int height, bool with_alpha) {
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int i = y * width + x;
            image.at(x, y) = {Uint8(16 * ((3 * i + 1) % 16)), Uint8(16 * ((5 * i + 7) % 16)),
                              Uint8(16 * ((7 * i + 3) % 16)),
                              Uint8(with_alpha ? 16 * (15 - i % 16) : 255)};
        }
    return image;
}

const std::vector<SurfaceLayout>& layouts_of_every_depth() {
    static const std::vector<SurfaceLayout> layouts{
        {8, 0, 0, 0, 0},
        {16, 0xF800, 0x07E0, 0x001F, 0},
        {24, 0x0000FF, 0x00FF00, 0xFF0000, 0},
        {24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
        {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
    };
    return layouts;
}
