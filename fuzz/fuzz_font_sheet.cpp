// The font sheet scan, through the same code explode_font runs, on small surfaces of every
// depth with and without a palette. The pixels are drawn from symbols, so that marker pixels
// and row lines are common: each byte is a marker, a row line, or a colour of its own. Every
// file the scan leaves must be a complete glyph PNG.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "explode_font.h"
#include "font_sheet.h"
#include "fuzz_surface.h"
#include "support/png_io.h"
#include "surface_pixels.h"

namespace {

std::string scratch_dir;

[[noreturn]] void fail(const char* what, const std::string& name = {}) {
    fprintf(stderr, "font sheet fuzz: %s %s\n", what, name.c_str());
    abort();
}

// Stores `value` at (x, y) for any depth, in the surface's own layout.
void put(SDL_Surface* s, int x, int y, Uint32 value) {
    Uint8* row = static_cast<Uint8*>(s->pixels) + size_t(y) * s->pitch;
    const int bpp = s->format->BitsPerPixel;
    if (bpp < 8) {
        const int bit = x * bpp, shift = 8 - bpp - bit % 8;
        const Uint8 mask = Uint8(((1u << bpp) - 1) << shift);
        row[bit / 8] = Uint8((row[bit / 8] & ~mask) | ((value << shift) & mask));
        return;
    }
    Uint8* p = row + size_t(x) * s->format->BytesPerPixel;
    for (int i = 0; i < s->format->BytesPerPixel; ++i) p[i] = Uint8(value >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch_dir = make_scratch_dir("font_sheet_fuzz");
    font_name = "fuzz.png";
    output_path = scratch_dir.c_str();
    // The scan reports progress on standard output; the fuzzer has no use for it.
    if (!freopen("/dev/null", "w", stdout)) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in{data, size};
    const bool symbolic = in.u8() & 1;
    FuzzSurface fs = make_fuzz_surface(in, 48, false, !symbolic);
    SDL_Surface* s = fs.surface.get();
    if (!s) return 0;
    if (symbolic) {
        const Uint32 marker = SDL_MapRGB(s->format, 255, 0, 255);
        const Uint32 row_line = SDL_MapRGB(s->format, 0, 255, 0);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                const uint8_t b = in.u8();
                put(s, x, y,
                    b < 64   ? marker
                    : b < 96 ? row_line
                             : SDL_MapRGBA(s->format, b, Uint8(b * 3), Uint8(b * 7), Uint8(b * 5)));
            }
    }

    explode_sheet(s);

    // Whatever was written is a complete PNG with a glyph file's name; nothing else is left.
    std::vector<std::string> names;
    if (DIR* d = opendir(scratch_dir.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    for (const std::string& name : names) {
        int code = 0;
        char tail = 0;
        if (sscanf(name.c_str(), "fuzz.png_%3d.pn%c", &code, &tail) != 2 || tail != 'g' ||
            code < kFirstCharCode || code > kLastExplodeCode)
            fail("unexpected file", name);
        const std::string path = scratch_dir + "/" + name;
        DecodedPng png = read_png(path);
        unlink(path.c_str());
        if (!png.ok || png.colour_type != 6) fail("not a complete RGBA PNG", name);
    }
    return 0;
}
