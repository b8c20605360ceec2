// Direct access to the pixel values of SDL surfaces, shared by all the tools.
#pragma once

#include <SDL.h>

// The value of pixel `x` of a row that starts at `row`, in the format's own encoding (a palette
// index for paletted formats, packed ones included). No bounds check.
Uint32 row_pixel(const SDL_PixelFormat* format, const Uint8* row, int x);

// The value of pixel (x, y) of `surface`. No bounds check and no lock: the caller keeps (x, y)
// inside the surface and holds any lock SDL requires.
Uint32 surface_pixel(const SDL_Surface* surface, int x, int y);

// Holds the lock SDL requires for direct access to a surface's pixels, for as long as it lives.
struct SurfaceLock {
    SDL_Surface* surface;
    bool locked;
    explicit SurfaceLock(SDL_Surface* s)
        : surface(s), locked(SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0) {}
    ~SurfaceLock() {
        if (locked) SDL_UnlockSurface(surface);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    // True when the pixels may be read and written.
    bool ok() const { return surface->pixels && (locked || !SDL_MUSTLOCK(surface)); }
};

// Where the pixels of `src` inside `src_rect` equal `key`, sets the matching pixels of `dst`,
// whose top-left corner is (dst_x, dst_y), to all-zero bytes (transparent black in the glyph
// pixel format). `src_rect` is clipped to `src`, and positions are matched as SDL_UpperBlit
// matches them; positions outside `dst` are left alone. Locks either surface where SDL requires.
void clear_keyed_pixels(SDL_Surface* src, const SDL_Rect& src_rect, Uint32 key, SDL_Surface* dst,
                        int dst_x, int dst_y);
