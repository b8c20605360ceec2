#pragma once

#include <SDL.h>

#include <memory>

// Owns an SDL surface and frees it with SDL_FreeSurface.
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;
