#include "glue_font.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "font_sheet.h"
#include "image_loading.h"
#include "png_writer.h"
#include "surface_pixels.h"
#include "surface_ptr.h"

const char* font_name = nullptr;
const char* input_path = nullptr;

void PutPixel(SDL_Surface* surface, int x, int y, Uint32 pixel) {
    if (x < 0 || y < 0 || x >= surface->w || y >= surface->h) return;
    const int bytes = surface->format->BytesPerPixel;
    Uint8* p = static_cast<Uint8*>(surface->pixels) + size_t(y) * surface->pitch + x * bytes;
    switch (bytes) {
        case 1:
            *p = Uint8(pixel);
            break;
        case 2: {
            Uint16 v = Uint16(pixel);
            memcpy(p, &v, sizeof v);
            break;
        }
        case 3:
            // The bytes lie as SDL reads a 3-byte pixel on this host.
            if (SDL_BYTEORDER == SDL_LIL_ENDIAN) {
                p[0] = Uint8(pixel);
                p[1] = Uint8(pixel >> 8);
                p[2] = Uint8(pixel >> 16);
            } else {
                p[0] = Uint8(pixel >> 16);
                p[1] = Uint8(pixel >> 8);
                p[2] = Uint8(pixel);
            }
            break;
        case 4:
            memcpy(p, &pixel, sizeof pixel);
            break;
        default:
            break;
    }
}

void advance_cursor(SDL_Surface* canvas, int w, int& x, int& y, int& height) {
    const Uint32 row_line = SDL_MapRGBA(canvas->format, kRowLineColour.r, kRowLineColour.g,
                                        kRowLineColour.b, SDL_ALPHA_OPAQUE);
    x += w + 1;
    if (x < canvas->w) return;
    x = 0;
    y += height;
    height = 0;
    for (int column = 0; column < canvas->w; ++column) PutPixel(canvas, column, y, row_line);
    ++y;
}

namespace {

// True when something is at `path`, even if it cannot be loaded as an image; false only when
// nothing is there (or a directory on the way is missing).
bool glyph_file_present(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

// A glyph fits where its right marker lies on the sheet and its last line is above the bottom.
bool fits(int x, int y, const SDL_Surface* glyph) {
    return x + glyph->w <= kSheetWidth - 1 && y + glyph->h <= kSheetHeight;
}

// Copies `glyph` onto the canvas at (x, y) unblended, alpha included; pixels that match the
// glyph image's colour key land as transparent black.
void place_glyph(SDL_Surface* canvas, SDL_Surface* glyph, int x, int y, int code) {
    const bool keyed = glyph->flags & SDL_SRCCOLORKEY;
    const Uint32 key = glyph->format->colorkey;
    SDL_SetAlpha(glyph, 0, SDL_ALPHA_OPAQUE);
    SDL_SetColorKey(glyph, 0, 0);
    SDL_Rect place{Sint16(x), Sint16(y), 0, 0};
    if (SDL_UpperBlit(glyph, nullptr, canvas, &place) != 0) {
        fprintf(stderr, "Error blitting character %c\n", code);
        return;
    }
    if (keyed) {
        SDL_Rect whole{0, 0, Uint16(glyph->w), Uint16(glyph->h)};
        clear_keyed_pixels(glyph, whole, key, canvas, x, y);
    }
}

}  // namespace

int create_font() {
    SurfacePtr canvas(SDL_CreateRGBSurface(0, kSheetWidth, kSheetHeight, 32, kGlyphRmask,
                                           kGlyphGmask, kGlyphBmask, kGlyphAmask));
    if (!canvas) {
        fprintf(stderr, "Could not create a %dx%d sheet: %s\n", kSheetWidth, kSheetHeight,
                SDL_GetError());
        return 1;
    }
    const Uint32 marker = SDL_MapRGBA(canvas->format, kMarkerColour.r, kMarkerColour.g,
                                      kMarkerColour.b, SDL_ALPHA_OPAQUE);
    int x = 0, y = 0, row_height = 0;

    int code = kFirstCharCode;
    for (; code <= kLastGlueCode; ++code) {
        char path[kPathBufferSize];
        format_glyph_path(path, input_path, font_name, code);  // checked once by the caller
        SurfacePtr glyph(load_image(path));
        if (!glyph) {
            fprintf(stderr, "Could not load %s: %s\n", path, SDL_GetError());
            // A missing file ends the set of glyphs; one that is there but unreadable would
            // silently cut the sheet short.
            if (glyph_file_present(path)) {
                fprintf(stderr,
                        "Glyph file %s is there but could not be loaded; no sheet was written\n",
                        path);
                return 1;
            }
            break;
        }
        const int w = glyph->w, h = glyph->h;
        if (x + w >= kSheetWidth) {
            // Close the row: the rest of its top line takes markers, then the row line.
            for (int column = x; column < kSheetWidth; ++column)
                PutPixel(canvas.get(), column, y, marker);
            advance_cursor(canvas.get(), w, x, y, row_height);
        }
        if (!fits(x, y, glyph.get())) {
            fprintf(stderr,
                    "The sheet is full: character %d (%dx%d pixels) does not fit on the %dx%d "
                    "sheet; no sheet was written\n",
                    code, w, h, kSheetWidth, kSheetHeight);
            return 1;
        }
        place_glyph(canvas.get(), glyph.get(), x, y, code);
        PutPixel(canvas.get(), x + w, y, marker);
        PutPixel(canvas.get(), x, y + h, marker);
        if (h > row_height) row_height = h;
        advance_cursor(canvas.get(), w, x, y, row_height);
    }

    const int glued = code - kFirstCharCode;
    if (glued == 0) {
        puts("No characters were glued, therefore no output was produced.");
        return 0;
    }
    printf("Glued %d characters\n", glued);
    return png_save_surface(font_name, canvas.get()) == 0 ? 0 : 1;
}
