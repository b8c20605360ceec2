// The PNG writer on arbitrary surfaces: every depth, mask layout, pitch, palette (short ones
// included) and colour key. What libpng decodes from the file must be what SDL_GetRGBA says of
// each pixel, and a refused surface must leave no file behind.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_surface.h"
#include "png_writer.h"
#include "support/png_io.h"

namespace {

std::string scratch_dir;

// Raw value of pixel (x, y), read here independently of the tools' own pixel access.
Uint32 raw_pixel(const SDL_Surface* s, int x, int y) {
    const Uint8* row = static_cast<const Uint8*>(s->pixels) + size_t(y) * s->pitch;
    const int bpp = s->format->BitsPerPixel;
    if (bpp < 8) {
        const int bit = x * bpp;  // pixels are packed from the most significant bit down
        return (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
    }
    const Uint8* p = row + size_t(x) * s->format->BytesPerPixel;
    Uint32 v = 0;
    for (int i = s->format->BytesPerPixel - 1; i >= 0; --i) v = v << 8 | p[i];  // little-endian
    return v;
}

size_t entries(const std::string& dir) {
    size_t n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' || (e->d_name[1] && e->d_name[1] != '.' && e->d_name[2])) ++n;
        closedir(d);
    }
    return n;
}

[[noreturn]] void fail(const char* what, int x = -1, int y = -1) {
    fprintf(stderr, "png writer fuzz: %s (pixel %d,%d)\n", what, x, y);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch_dir = make_scratch_dir("png_writer_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in{data, size};
    const uint8_t options = in.u8();
    FuzzSurface fs = make_fuzz_surface(in, 40, true, true);
    SDL_Surface* s = fs.surface.get();
    if (!s) return 0;
    SDL_Palette* palette = s->format->palette;
    if ((options & 1) && palette) palette->ncolors = 1 + options / 2 % palette->ncolors;
    const bool short_pitch = (options & 2) && s->pitch > 1;
    const Uint16 pitch = s->pitch;
    if (short_pitch) s->pitch = Uint16(surface_row_bytes(s) - 1);

    const std::string path = scratch_dir + "/out.png";
    const int result = png_save_surface(path.c_str(), s);
    if (short_pitch) {
        s->pitch = pitch;
        if (result != -1) fail("a surface with rows longer than its pitch was written");
        if (entries(scratch_dir) != 0) fail("a refused surface left a file");
        return 0;
    }
    if (result != 0) fail("png_save_surface failed");
    if (entries(scratch_dir) != 1) fail("the scratch directory holds more than the PNG");

    DecodedPng png = read_png(path);
    unlink(path.c_str());
    if (!png.ok) fail(png.error.c_str());
    if (png.image.width != s->w || png.image.height != s->h) fail("wrong size");
    const SDL_PixelFormat* f = s->format;
    const bool keyed = (s->flags & SDL_SRCCOLORKEY) && f->Amask == 0;
    const bool alpha = f->Amask != 0 || keyed;
    if (png.colour_type != (alpha ? 6 : 2) || png.bit_depth != 8) fail("wrong colour type");
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            const Uint32 pixel = raw_pixel(s, x, y);
            Rgba want{0, 0, 0, 255};
            if (keyed && pixel == f->colorkey)
                want.a = 0;
            else if (!palette || int(pixel) < palette->ncolors)
                SDL_GetRGBA(pixel, s->format, &want.r, &want.g, &want.b, &want.a);
            if (png.image.at(x, y) != want) fail("decoded pixel differs from SDL_GetRGBA", x, y);
        }
    return 0;
}
