// The one PNG writer shared by all the tools.
#pragma once

#include <SDL.h>
#include <png.h>

// Writes `surface` to `path` as an 8-bit truecolour PNG (with alpha when the surface carries
// transparency). Returns 0 when the file is in place, -1 when it could not be created; ends the
// process with status 255 when libpng or the write itself fails part way. An existing file at
// `path` is replaced only once the new image has been written completely.
int png_save_surface(const char* path, SDL_Surface* surface);

// libpng error callback: prints "libpng: error: <message>" on standard error and returns
// control to the writer's recovery point.
void png_user_error(png_structp png, png_const_charp message);

// libpng warning callback: prints "libpng: warning: <message>" on standard error; writing goes on.
void png_user_warn(png_structp png, png_const_charp message);
