// Splitting a font sheet into one glyph file per character.
#pragma once

#include <SDL.h>

// The font file and the output directory, as given on the command line.
extern const char* font_name;
extern const char* output_path;

// The value of pixel (x, y) in the surface's own format. No bounds check and no lock: the
// caller keeps (x, y) inside the surface and holds any lock SDL requires.
Uint32 VyGetPixel(SDL_Surface* surface, int x, int y);

// Scans a loaded sheet row by row and writes each glyph it finds to its glyph file in
// output_path, printing progress on standard output. Returns the number of glyph files that
// could not be written; ends the process with status 1 when the sheet cannot be scanned.
int explode_sheet(SDL_Surface* sheet);
