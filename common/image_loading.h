// Loading the images the tools read, with SDL_image.
#pragma once

#include <SDL.h>

// Loads the image at `path` with IMG_Load; null with SDL's error set when it cannot. A grey PNG
// with a tRNS chunk comes back as 32-bit RGBA in the glyph pixel format, grey in red, green and
// blue: SDL_image hands such a file over as two bytes per pixel (grey, alpha) behind channel
// masks that read them as red and green.
SDL_Surface* load_image(const char* path);
