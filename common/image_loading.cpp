#include "image_loading.h"

#include <SDL_image.h>

#include "font_sheet.h"
#include "surface_pixels.h"
#include "surface_ptr.h"

namespace {

// SDL_image's grey-and-alpha surface: 16 bits a pixel, grey then alpha in memory, with the
// 8-8-8 truecolour masks it gives every non-paletted PNG. No real 16-bit format has a mask
// beyond its 16 bits, so this shape means that and nothing else.
bool is_grey_alpha(const SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    const bool little = SDL_BYTEORDER == SDL_LIL_ENDIAN;
    return f->BitsPerPixel == 16 && !f->palette && f->Amask == 0 &&
           f->Rmask == (little ? 0x000000FFu : 0xFF000000u) &&
           f->Gmask == (little ? 0x0000FF00u : 0x00FF0000u) &&
           f->Bmask == (little ? 0x00FF0000u : 0x0000FF00u);
}

// The grey-and-alpha pixels of `s` as a new RGBA surface; null when it cannot be made.
SDL_Surface* grey_alpha_to_rgba(SDL_Surface* s) {
    SurfacePtr out(SDL_CreateRGBSurface(0, s->w, s->h, 32, kGlyphRmask, kGlyphGmask, kGlyphBmask,
                                        kGlyphAmask));
    if (!out) return nullptr;
    SurfaceLock lock(s);
    if (!lock.ok()) return nullptr;
    for (int y = 0; y < s->h; ++y) {
        const Uint8* in = static_cast<const Uint8*>(s->pixels) + size_t(y) * s->pitch;
        Uint32* row =
            reinterpret_cast<Uint32*>(static_cast<Uint8*>(out->pixels) + size_t(y) * out->pitch);
        for (int x = 0; x < s->w; ++x, in += 2)
            row[x] = SDL_MapRGBA(out->format, in[0], in[0], in[0], in[1]);
    }
    return out.release();
}

}  // namespace

SDL_Surface* load_image(const char* path) {
    SurfacePtr image(IMG_Load(path));
    if (!image || !is_grey_alpha(image.get())) return image.release();
    SDL_Surface* rgba = grey_alpha_to_rgba(image.get());
    if (!rgba) SDL_SetError("Could not convert the grey image %s to RGBA", path);
    return rgba;
}
