// What the two font tools agree on: the key colours of a font sheet, the character codes it
// holds, the glyph pixel format and how glyph files are named.
#pragma once

#include <SDL.h>

#include <cstddef>

struct KeyColour {
    Uint8 r, g, b;
};

// Ends a glyph to its right (on the row top line) and below it (in its left column).
constexpr KeyColour kMarkerColour{255, 0, 255};
// The line below each row of glyphs; also ends a glyph's height.
constexpr KeyColour kRowLineColour{0, 255, 0};

// The code of the first glyph on a sheet; the others follow in reading order.
constexpr int kFirstCharCode = 33;
// The last code explode_font writes a glyph file for.
constexpr int kLastExplodeCode = 255;
// The last code glue_font reads a glyph file for.
constexpr int kLastGlueCode = 254;

// Glyph files: directory, font file name (its last path component), character code.
constexpr const char* kGlyphFileFormat = "%s/%s_%03d.png";

// Every path the tools compose fits a buffer of this many bytes, terminating zero included.
constexpr size_t kPathBufferSize = 4096;

// The glyph pixel format: 32 bits whose bytes lie in memory as blue, green, red, alpha.
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
constexpr Uint32 kGlyphRmask = 0x0000FF00, kGlyphGmask = 0x00FF0000, kGlyphBmask = 0xFF000000,
                 kGlyphAmask = 0x000000FF;
#else
constexpr Uint32 kGlyphRmask = 0x00FF0000, kGlyphGmask = 0x0000FF00, kGlyphBmask = 0x000000FF,
                 kGlyphAmask = 0xFF000000;
#endif

// Formats the glyph file path for `code` into `buffer` from the directory and the last path
// component of `font_file`; false, with `buffer` holding an empty string, when it does not fit.
bool format_glyph_path(char (&buffer)[kPathBufferSize], const char* directory,
                       const char* font_file, int code);
