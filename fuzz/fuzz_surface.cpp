#include "fuzz_surface.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Layout {
    int depth;
    bool palette;
};

// Every depth SDL 1.2 accepts: 8 bits with masks has a palette SDL builds from the masks.
constexpr Layout kLayouts[] = {{1, true},   {2, true},   {4, true},   {8, true},  {8, false},
                               {15, false}, {16, false}, {24, false}, {32, false}};

// A channel mask of up to 8 contiguous bits somewhere inside `depth` bits; 0 for no channel.
Uint32 fuzz_mask(FuzzBytes& in, int depth) {
    int bits = in.u8() % 9;
    if (bits == 0) return 0;
    if (bits > depth) bits = depth;
    int shift = in.u8() % (depth - bits + 1);
    return ((Uint32{1} << bits) - 1) << shift;
}

}  // namespace

std::string make_scratch_dir(const char* name) {
    static std::string made;
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + ".XXXXXX";
    if (!mkdtemp(pattern.data())) abort();
    made = pattern;
    atexit([] { rmdir(made.c_str()); });
    return made;
}

size_t surface_row_bytes(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    if (f->BitsPerPixel < 8) return (size_t(surface->w) * f->BitsPerPixel + 7) / 8;
    return size_t(surface->w) * f->BytesPerPixel;
}

FuzzSurface make_fuzz_surface(FuzzBytes& in, int max_side, bool own_pitch, bool raw_pixels) {
    FuzzSurface out;
    const Layout layout = kLayouts[in.u8() % (sizeof kLayouts / sizeof kLayouts[0])];
    const int w = 1 + in.u8() % max_side, h = 1 + in.u8() % max_side;
    Uint32 masks[4] = {0, 0, 0, 0};
    if (!layout.palette) {
        // Either a common layout or masks of the fuzzer's choosing.
        static const Uint32 kCommon[][4] = {
            {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
            {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
            {0x00FF0000, 0x0000FF00, 0x000000FF, 0},
            {0x000000FF, 0x0000FF00, 0x00FF0000, 0},
            {0xF800, 0x07E0, 0x001F, 0},
            {0x0F00, 0x00F0, 0x000F, 0xF000},
            {0xE0, 0x1C, 0x03, 0},
        };
        const uint8_t pick = in.u8();
        const auto& common = kCommon[pick % (sizeof kCommon / sizeof kCommon[0])];
        const int bits = layout.depth == 15 ? 16 : layout.depth;
        bool fits = true;
        for (Uint32 m : common) fits = fits && (bits == 32 || m < (Uint32{1} << bits));
        for (int i = 0; i < 4; ++i)
            masks[i] = (pick & 0x80) && fits ? common[i] : fuzz_mask(in, layout.depth);
        // SDL treats all-zero colour masks as "the default layout" (a palette at 8 bits).
        if (!masks[0] && !masks[1] && !masks[2]) masks[2] = 1;
    }

    const Uint32 flags = (in.u8() & 1) ? SDL_SRCALPHA : 0;
    if (own_pitch) {
        SurfacePtr probe(
            SDL_CreateRGBSurface(0, w, 1, layout.depth, masks[0], masks[1], masks[2], masks[3]));
        if (!probe) return out;
        const size_t pitch = surface_row_bytes(probe.get()) + in.u8() % 8;
        out.storage.assign(pitch * h, 0);
        out.surface.reset(SDL_CreateRGBSurfaceFrom(out.storage.data(), w, h, layout.depth,
                                                   int(pitch), masks[0], masks[1], masks[2],
                                                   masks[3]));
    } else {
        out.surface.reset(
            SDL_CreateRGBSurface(0, w, h, layout.depth, masks[0], masks[1], masks[2], masks[3]));
    }
    SDL_Surface* s = out.surface.get();
    if (!s) return out;

    if (layout.palette && s->format->palette) {
        SDL_Palette* p = s->format->palette;
        for (int i = 0; i < p->ncolors; ++i) {
            p->colors[i].r = in.u8();
            p->colors[i].g = in.u8();
            p->colors[i].b = in.u8();
        }
    }
    if (in.u8() & 1) {
        SDL_SetColorKey(s, SDL_SRCCOLORKEY,
                        in.u32() & ((s->format->BitsPerPixel == 32)
                                        ? 0xFFFFFFFF
                                        : (Uint32{1} << s->format->BitsPerPixel) - 1));
        out.keyed = true;
    }
    if (flags) SDL_SetAlpha(s, SDL_SRCALPHA, in.u8());

    if (!raw_pixels) return out;
    Uint8* pixels = static_cast<Uint8*>(s->pixels);
    const size_t row = surface_row_bytes(s);
    for (int y = 0; y < h; ++y) {
        const size_t n = row < in.size ? row : in.size;
        if (n) memcpy(pixels + size_t(y) * s->pitch, in.data, n);
        in.data += n;
        in.size -= n;
    }
    return out;
}
