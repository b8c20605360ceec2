#include "surface_pixels.h"

#include <algorithm>
#include <cstring>

Uint32 row_pixel(const SDL_PixelFormat* f, const Uint8* row, int x) {
    switch (f->BitsPerPixel) {
        case 1:
        case 2:
        case 4: {
            // Packed palette indices, leftmost pixel in the most significant bits.
            int bits = f->BitsPerPixel;
            int bit = x * bits;
            int shift = 8 - bits - bit % 8;
            return (row[bit / 8] >> shift) & ((1u << bits) - 1);
        }
        default:
            break;
    }
    const Uint8* p = row + size_t(x) * f->BytesPerPixel;
    switch (f->BytesPerPixel) {
        case 1:
            return *p;
        case 2: {
            Uint16 v;
            memcpy(&v, p, 2);
            return v;
        }
        case 3:
            if (SDL_BYTEORDER == SDL_LIL_ENDIAN) return p[0] | p[1] << 8 | Uint32(p[2]) << 16;
            return Uint32(p[0]) << 16 | p[1] << 8 | p[2];
        default: {
            Uint32 v;
            memcpy(&v, p, 4);
            return v;
        }
    }
}

Uint32 surface_pixel(const SDL_Surface* surface, int x, int y) {
    return row_pixel(surface->format,
                     static_cast<const Uint8*>(surface->pixels) + size_t(y) * surface->pitch, x);
}

void clear_keyed_pixels(SDL_Surface* src, const SDL_Rect& src_rect, Uint32 key, SDL_Surface* dst,
                        int dst_x, int dst_y) {
    SurfaceLock src_lock(src), dst_lock(dst);
    if (!src_lock.ok() || !dst_lock.ok()) return;
    const int x0 = std::max(0, int(src_rect.x)), y0 = std::max(0, int(src_rect.y));
    const int x1 = std::min(src->w, src_rect.x + int(src_rect.w));
    const int y1 = std::min(src->h, src_rect.y + int(src_rect.h));
    const int bytes = dst->format->BytesPerPixel;
    for (int sy = y0; sy < y1; ++sy) {
        const int dy = dst_y + sy - src_rect.y;
        if (dy < 0 || dy >= dst->h) continue;
        for (int sx = x0; sx < x1; ++sx) {
            const int dx = dst_x + sx - src_rect.x;
            if (dx < 0 || dx >= dst->w || surface_pixel(src, sx, sy) != key) continue;
            memset(static_cast<Uint8*>(dst->pixels) + size_t(dy) * dst->pitch + size_t(dx) * bytes,
                   0, bytes);
        }
    }
}
