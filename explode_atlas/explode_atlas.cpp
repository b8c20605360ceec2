#include "explode_atlas.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image_loading.h"
#include "pending_file.h"
#include "png_writer.h"
#include "surface_pixels.h"

namespace {

// snprintf into a path buffer; false when the result does not fit.
template <typename... Args>
bool format_path(char (&buffer)[kPathBufferSize], const char* format, Args... args) {
    int length = snprintf(buffer, sizeof buffer, format, args...);
    return length >= 0 && size_t(length) < sizeof buffer;
}

int length_of(std::string_view s) {
    return int(s.size());
}

// The entry surface: the atlas image's own 32-bit layout where it has an alpha channel; RGBA in
// the glyph pixel format for a keyed image, whose keyed pixels must come out transparent; and
// the image's colour channels without alpha otherwise. A 24-bit image keeps its 3-byte pixels,
// so that the blit is a plain copy of rows rather than SDL's pixel-by-pixel conversion.
SurfacePtr create_entry_surface(const AtlasImage& image, int w, int h) {
    const SDL_PixelFormat* f = image.surface->format;
    if (image.keyed && f->Amask == 0)
        return SurfacePtr(
            SDL_CreateRGBSurface(0, w, h, 32, kGlyphRmask, kGlyphGmask, kGlyphBmask, kGlyphAmask));
    if (f->BytesPerPixel == 3 && f->Amask == 0)
        return SurfacePtr(SDL_CreateRGBSurface(0, w, h, 24, f->Rmask, f->Gmask, f->Bmask, 0));
    return SurfacePtr(SDL_CreateRGBSurface(0, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask));
}

// Writes "OffsetX=..." and "OffsetY=..." to `path`, replacing an existing file only once the new
// one is complete.
bool write_offset_file(const char* path, const IndexEntry& entry) {
    PendingFile file;
    if (!file.open(path)) {
        fprintf(stderr, "Cannot create offset file: %s\n", path);
        return false;
    }
    bool written =
        fprintf(file.stream, "OffsetX=%d\nOffsetY=%d\n", entry.offset_x, entry.offset_y) > 0 &&
        fflush(file.stream) == 0;
    written = file.close_stream() && written;
    if (!written || !file.commit()) {
        fprintf(stderr, "Cannot write offset file %s: %s\n", path, strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

bool format_prefix(char (&prefix)[kPathBufferSize], const char* directory) {
    return format_path(prefix, "%s/", directory);
}

bool format_offset_name(char (&path)[kPathBufferSize], const char* output_prefix,
                        std::string_view name) {
    size_t cut = name.find(".png");
    if (cut != std::string_view::npos) name = name.substr(0, cut);
    return format_path(path, "%s%.*s.offset", output_prefix, length_of(name), name.data());
}

bool open_atlas_image(const AtlasRun& run, const ImageHeader& header, AtlasImage& image) {
    char path[kPathBufferSize];
    if (!format_path(path, "%s%.*s", run.atlas_prefix, length_of(header.image),
                     header.image.data())) {
        fprintf(stderr, "%s:%d: the path of atlas image %.*s is longer than %zu bytes\n",
                run.index_path, header.line, length_of(header.image), header.image.data(),
                kPathBufferSize - 1);
        return false;
    }
    image.surface.reset(load_image(path));
    if (!image.surface) {
        fprintf(stderr, "Could not load atlas image: %s\n", path);
        return false;
    }
    SDL_Surface* s = image.surface.get();
    if (header.has_size && (header.width != s->w || header.height != s->h))
        fprintf(stderr, "%s:%d: warning: atlas image %s is %dx%d pixels, the index says %dx%d\n",
                run.index_path, header.line, path, s->w, s->h, header.width, header.height);
    // Blits then copy every channel, alpha included, instead of blending or skipping pixels.
    image.keyed = s->flags & SDL_SRCCOLORKEY;
    image.key = s->format->colorkey;
    SDL_SetAlpha(s, 0, 0);
    SDL_SetColorKey(s, 0, 0);
    return true;
}

bool explode_entry(const AtlasRun& run, const AtlasImage& image, const IndexEntry& entry) {
    const int name_length = length_of(entry.name);
    const char* name = entry.name.data();
    if (entry.x < -32768 || entry.x > 32767 || entry.y < -32768 || entry.y > 32767 || entry.w < 1 ||
        entry.w > 65535 || entry.h < 1 || entry.h > 65535) {
        fprintf(stderr,
                "%s:%d: entry %.*s not written: x %d, y %d, w %d, h %d (x and y must lie in "
                "-32768..32767, w and h in 1..65535)\n",
                run.index_path, entry.line, name_length, name, entry.x, entry.y, entry.w, entry.h);
        return false;
    }
    char png_path[kPathBufferSize], offset_path[kPathBufferSize];
    if (!format_path(png_path, "%s%.*s", run.output_prefix, name_length, name) ||
        !format_offset_name(offset_path, run.output_prefix, entry.name)) {
        fprintf(stderr, "%s:%d: entry %.*s not written: its file paths are longer than %zu bytes\n",
                run.index_path, entry.line, name_length, name, kPathBufferSize - 1);
        return false;
    }

    bool ok = true;
    {
        SurfacePtr cut = create_entry_surface(image, entry.w, entry.h);
        if (!cut) {
            fprintf(stderr, "%s:%d: entry %.*s not written: could not create a %dx%d surface: %s\n",
                    run.index_path, entry.line, name_length, name, entry.w, entry.h,
                    SDL_GetError());
            return false;
        }
        const SDL_Rect rect{Sint16(entry.x), Sint16(entry.y), Uint16(entry.w), Uint16(entry.h)};
        SDL_Rect clipped = rect;  // the blit clips its copy
        SDL_UpperBlit(image.surface.get(), &clipped, cut.get(), nullptr);
        if (image.keyed) clear_keyed_pixels(image.surface.get(), rect, image.key, cut.get(), 0, 0);
        ok = png_save_surface(png_path, cut.get()) == 0;
    }
    // The offset file is written whether or not the PNG was.
    return write_offset_file(offset_path, entry) && ok;
}
