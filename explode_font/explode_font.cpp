#include "explode_font.h"

#include <cstdio>
#include <cstdlib>

#include "font_sheet.h"
#include "png_writer.h"
#include "surface_pixels.h"
#include "surface_ptr.h"

const char* font_name = nullptr;
const char* output_path = nullptr;

// The largest coordinate a glyph rectangle can address.
constexpr int kMaxSheetSide = 32767;

Uint32 VyGetPixel(SDL_Surface* surface, int x, int y) {
    return surface_pixel(surface, x, y);
}

namespace {

void lock_sheet(SDL_Surface* sheet) {
    if (SDL_LockSurface(sheet) != 0) {
        fprintf(stderr, "Could not lock the font sheet: %s\n", SDL_GetError());
        exit(1);
    }
}

// Tells the pixels of one key colour (marker or row line). In a paletted sheet that is every
// index whose palette entry is exactly that colour: the nearest entry SDL_MapRGB would pick
// for a palette without it is some other colour. Elsewhere it is the colour's pixel value,
// opaque where the format has alpha.
struct ColourMatch {
    const SDL_Palette* palette;
    KeyColour colour;
    Uint32 value;

    ColourMatch(const SDL_PixelFormat* format, KeyColour c)
        : palette(format->palette), colour(c), value(SDL_MapRGB(format, c.r, c.g, c.b)) {}
    bool matches(Uint32 pixel) const {
        if (!palette) return pixel == value;
        if (pixel >= Uint32(palette->ncolors)) return false;
        const SDL_Color& p = palette->colors[pixel];
        return p.r == colour.r && p.g == colour.g && p.b == colour.b;
    }
};

// The sheet's colour key, which the scan turns off so that blits copy every pixel.
struct SheetKey {
    bool present;
    Uint32 value;
};

// Cuts `rect` out of the sheet into a glyph surface and writes it as the glyph file of `code`;
// false when the file could not be written. Pixels matching the sheet's colour key come out
// transparent black. A locked sheet is unlocked for the blit, since SDL refuses to blit from a
// locked surface.
bool save_glyph(SDL_Surface* sheet, SDL_Rect rect, int code, bool locked, SheetKey key) {
    SurfacePtr glyph(SDL_CreateRGBSurface(0, rect.w, rect.h, 32, kGlyphRmask, kGlyphGmask,
                                          kGlyphBmask, kGlyphAmask));
    if (!glyph) {
        fprintf(stderr, "Could not create a %dx%d surface for character %d: %s\n", rect.w, rect.h,
                code, SDL_GetError());
        exit(1);
    }
    if (locked) SDL_UnlockSurface(sheet);
    SDL_UpperBlit(sheet, &rect, glyph.get(), nullptr);
    if (locked) lock_sheet(sheet);
    if (key.present) clear_keyed_pixels(sheet, rect, key.value, glyph.get(), 0, 0);

    char path[kPathBufferSize];
    if (!format_glyph_path(path, output_path, font_name, code)) {
        fprintf(stderr, "Glyph file path for character %d is longer than %zu bytes\n", code,
                kPathBufferSize - 1);
        return false;
    }
    printf("Saving %s\n", path);
    return png_save_surface(path, glyph.get()) == 0;
}

}  // namespace

int explode_sheet(SDL_Surface* sheet) {
    const int w = sheet->w, h = sheet->h;
    if (w > kMaxSheetSide || h > kMaxSheetSide) {
        fprintf(stderr,
                "Cannot explode %s: the sheet is %dx%d pixels, more than %d in one direction\n",
                font_name, w, h, kMaxSheetSide);
        exit(1);
    }
    // Blits then copy sheet pixels unchanged: no blending, no colour key.
    const SheetKey key{(sheet->flags & SDL_SRCCOLORKEY) != 0, sheet->format->colorkey};
    SDL_SetAlpha(sheet, 0, SDL_ALPHA_OPAQUE);
    SDL_SetColorKey(sheet, 0, 0);
    const ColourMatch marker(sheet->format, kMarkerColour);
    const ColourMatch row_line(sheet->format, kRowLineColour);

    const bool locked = SDL_MUSTLOCK(sheet);
    if (locked) lock_sheet(sheet);

    int failures = 0;
    int code = kFirstCharCode;
    int y = 0;
    do {
        Uint32 row_height = 1;
        int x = 0;
        while (x < w - 1 && code <= kLastExplodeCode) {
            if (marker.matches(VyGetPixel(sheet, x, y))) {
                ++x;
                continue;
            }
            printf("Reading character at %d %d...", x, y);
            int x2 = x;
            while (x2 < w && !marker.matches(VyGetPixel(sheet, x2, y))) ++x2;
            printf("width %d\n", x2 - x);
            if (x2 == w) break;  // no right marker: the glyph is dropped and ends the row

            int y2 = y;
            while (y2 < h && !marker.matches(VyGetPixel(sheet, x, y2)) &&
                   !row_line.matches(VyGetPixel(sheet, x, y2)))
                ++y2;
            SDL_Rect rect{Sint16(x), Sint16(y), Uint16(x2 - x), Uint16(y2 - y)};
            if (rect.h > row_height) row_height = rect.h;
            if (!save_glyph(sheet, rect, code, locked, key)) ++failures;
            ++code;
            x = x2;
        }
        y += row_height + 1;
    } while (y < h && code <= kLastExplodeCode);

    if (locked) SDL_UnlockSurface(sheet);
    return failures;
}
