// Turning fuzzer bytes into SDL surfaces of every pixel layout the tools can meet.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "surface_ptr.h"

// Reads numbers off the front of the fuzzer's bytes; zeros once they run out.
struct FuzzBytes {
    const uint8_t* data;
    size_t size;
    uint8_t u8() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | u8();
        return v;
    }
};

// A surface made from the bytes: its depth (1, 2, 4 or 8 bits with a palette, or 8 to 32 bits
// with channel masks), masks, size up to `max_side` on each side, row padding, palette, colour
// key and alpha flag, then (with `raw_pixels`) its pixels; without, the pixels are left zero
// for the caller to draw. The pixels live in `storage` when `own_pitch` is set, so the pitch
// can be any value of at least one row's bytes; otherwise SDL allocates them.
struct FuzzSurface {
    SurfacePtr surface;
    std::vector<uint8_t> storage;
    bool keyed = false;
};
FuzzSurface make_fuzz_surface(FuzzBytes& in, int max_side, bool own_pitch, bool raw_pixels);

// A new empty directory under $TMPDIR (or /tmp) named after `name`, removed at exit if empty.
std::string make_scratch_dir(const char* name);

// Bytes that one row of `surface` occupies, without padding.
size_t surface_row_bytes(const SDL_Surface* surface);
