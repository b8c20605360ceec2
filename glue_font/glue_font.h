// Assembling a directory of glyph files into one font sheet.
#pragma once

#include <SDL.h>

// The sheet to write and the directory of glyph files, as given on the command line.
extern const char* font_name;
extern const char* input_path;

// The size of every sheet glue_font writes.
constexpr int kSheetWidth = 1024;
constexpr int kSheetHeight = 512;

// Loads the glyph files of codes 33 to 254 in order, up to the first one missing, lays them out
// on a new sheet and writes it to font_name. Returns the exit status: 0 when the sheet was
// written or there was no glyph to glue, 1 when a glyph does not fit or the sheet could not be
// created or written (no sheet is written then).
int create_font();

// Moves the layout cursor past a glyph `w` pixels wide placed at (x, y). When the cursor reaches
// the right edge, closes the row: x goes back to 0, y moves down by `height` and a row line is
// drawn there, the row starts again below it with `height` 0.
void advance_cursor(SDL_Surface* canvas, int w, int& x, int& y, int& height);

// Stores `pixel` (already in the surface's format) at (x, y); positions outside the surface are
// dropped. No lock is taken and no colour is mapped.
void PutPixel(SDL_Surface* surface, int x, int y, Uint32 pixel);
