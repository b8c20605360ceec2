#include "png_writer.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pending_file.h"
#include "surface_pixels.h"

void png_user_error(png_structp png, png_const_charp message) {
    fprintf(stderr, "libpng: error: %s\n", message);
    // Jump straight to the writer's recovery point: returning would make libpng print the
    // message a second time through its default handler before it jumps there itself.
    png_longjmp(png, 1);
}

void png_user_warn(png_structp, png_const_charp message) {
    fprintf(stderr, "libpng: warning: %s\n", message);
}

namespace {

// How the rows of a surface reach libpng.
struct PixelLayout {
    int colour_type = PNG_COLOR_TYPE_RGB;
    bool direct = false;  // rows go to libpng straight from the surface's memory
    bool bgr = false;     // direct rows whose colour bytes are blue, green, red
    int filler = -1;      // direct 4-byte rows without alpha: where the unused byte is
    bool keyed = false;   // pixels equal to the colour key are written fully transparent
};

// The byte (in memory order) that an 8-bit channel mask selects in a pixel of `bytes` bytes,
// or -1 when the mask is not one whole byte.
int mask_byte(Uint32 mask, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        int shift = (SDL_BYTEORDER == SDL_LIL_ENDIAN) ? 8 * i : 8 * (bytes - 1 - i);
        if (mask == (Uint32{0xFF} << shift)) return i;
    }
    return -1;
}

PixelLayout choose_layout(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    PixelLayout layout;
    layout.keyed = (surface->flags & SDL_SRCCOLORKEY) && f->Amask == 0;
    bool alpha = f->Amask != 0 || layout.keyed;
    layout.colour_type = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    if (f->palette || layout.keyed) return layout;

    int bytes = f->BytesPerPixel;
    int r = mask_byte(f->Rmask, bytes), g = mask_byte(f->Gmask, bytes);
    int b = mask_byte(f->Bmask, bytes), a = mask_byte(f->Amask, bytes);
    if (bytes == 3 && f->Amask == 0 && r == 0 && g == 1 && b == 2) {
        layout.direct = true;
    } else if (bytes == 4 && a == 3 && g == 1 && ((r == 0 && b == 2) || (r == 2 && b == 0))) {
        layout.direct = true;
        layout.bgr = (r == 2);
    } else if (bytes == 4 && f->Amask == 0 &&
               ((g == 1 && ((r == 0 && b == 2) || (r == 2 && b == 0))) ||
                (g == 2 && ((r == 1 && b == 3) || (r == 3 && b == 1))))) {
        // Colour in three whole bytes and one byte unused: libpng drops the unused byte itself.
        layout.direct = true;
        layout.bgr = r > b;
        layout.filler = g == 1 ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE;
    }
    return layout;
}

// Bytes that one row of pixels occupies, without padding.
size_t row_bytes(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    if (f->BitsPerPixel < 8) return (size_t(surface->w) * f->BitsPerPixel + 7) / 8;
    return size_t(surface->w) * f->BytesPerPixel;
}

// Converts one surface row into 8-bit RGB or RGBA samples, with the colours SDL_GetRGBA
// reports. Keyed pixels become transparent black; palette indices past the palette's end opaque
// black.
void convert_row(const SDL_Surface* surface, const PixelLayout& layout, const Uint8* row,
                 png_bytep out) {
    SDL_PixelFormat* f = surface->format;
    bool alpha = layout.colour_type == PNG_COLOR_TYPE_RGB_ALPHA;
    for (int x = 0; x < surface->w; ++x) {
        Uint32 pixel = row_pixel(f, row, x);
        Uint8 r = 0, g = 0, b = 0, a = SDL_ALPHA_OPAQUE;
        if (layout.keyed && pixel == f->colorkey) {
            a = SDL_ALPHA_TRANSPARENT;
        } else if (!f->palette || int(pixel) < f->palette->ncolors) {
            SDL_GetRGBA(pixel, f, &r, &g, &b, &a);
        }
        *out++ = r;
        *out++ = g;
        *out++ = b;
        if (alpha) *out++ = a;
    }
}

// Everything the libpng pass works on. It lives in the caller, so that what the pass allocates
// can be released after a libpng error has jumped out of it.
struct WriteJob {
    FILE* stream;
    SDL_Surface* surface;
    PixelLayout layout;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_voidp rows = nullptr;  // row table or conversion buffer, from libpng's allocator
};

// Hands a failed write to libpng's error path, with the system's reason.
void write_failed(png_structp png) {
    char message[256];
    snprintf(message, sizeof message, "Write Error: %s", strerror(errno));
    png_error(png, message);
}

void write_to_stream(png_structp png, png_bytep data, png_size_t length) {
    if (fwrite(data, 1, length, static_cast<FILE*>(png_get_io_ptr(png))) != length)
        write_failed(png);
}

void flush_stream(png_structp png) {
    if (fflush(static_cast<FILE*>(png_get_io_ptr(png))) != 0) write_failed(png);
}

// Runs libpng over the job: 0 when the image and its end went out, -1 after a libpng error.
// libpng's error path longjmps into this frame, so it holds no object with a destructor.
int write_png_stream(WriteJob* job) {
    if (setjmp(*png_set_longjmp_fn(job->png, longjmp, sizeof(jmp_buf)))) return -1;

    png_structp png = job->png;
    SDL_Surface* s = job->surface;
    png_set_write_fn(png, job->stream, write_to_stream, flush_stream);
    png_set_IHDR(png, job->info, s->w, s->h, 8, job->layout.colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, job->info);
    png_set_packing(png);
    if (job->layout.bgr) png_set_bgr(png);
    if (job->layout.filler >= 0) png_set_filler(png, 0, job->layout.filler);

    const Uint8* pixels = static_cast<const Uint8*>(s->pixels);
    if (job->layout.direct) {
        job->rows = png_malloc_warn(png, sizeof(png_bytep) * size_t(s->h));
        if (!job->rows) png_error(png, "Insufficient memory for the row table");
        png_bytepp table = static_cast<png_bytepp>(job->rows);
        for (int i = 0; i < s->h; ++i) table[i] = const_cast<Uint8*>(pixels) + size_t(i) * s->pitch;
        png_write_image(png, table);
    } else {
        size_t channels = job->layout.colour_type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
        job->rows = png_malloc_warn(png, channels * size_t(s->w));
        if (!job->rows) png_error(png, "Insufficient memory for the row buffer");
        png_bytep out = static_cast<png_bytep>(job->rows);
        for (int i = 0; i < s->h; ++i) {
            convert_row(s, job->layout, pixels + size_t(i) * s->pitch, out);
            png_write_row(png, out);
        }
    }
    png_write_end(png, job->info);
    flush_stream(png);
    return 0;
}

}  // namespace

int png_save_surface(const char* path, SDL_Surface* surface) {
    if (surface->w <= 0 || surface->h <= 0) {
        fprintf(stderr, "Cannot write %s: the image is %dx%d pixels, a PNG needs at least 1x1\n",
                path, surface->w, surface->h);
        return -1;
    }
    SurfaceLock lock(surface);
    if (!lock.ok() || surface->pitch < row_bytes(surface)) {
        fprintf(stderr, "Cannot write %s: the image's pixels cannot be read\n", path);
        return -1;
    }

    PendingFile file;
    if (!file.open(path)) {
        perror("fopen error");
        return -1;
    }
    WriteJob job{file.stream, surface, choose_layout(surface)};
    job.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_user_error, png_user_warn);
    if (!job.png) {
        puts("png_create_write_struct error!");
        return -1;
    }
    job.info = png_create_info_struct(job.png);
    if (!job.info) {
        puts("png_create_info_struct error!");
        png_destroy_write_struct(&job.png, nullptr);
        file.discard();
        exit(-1);
    }

    int result = write_png_stream(&job);
    if (job.rows) png_free(job.png, job.rows);
    png_destroy_write_struct(&job.png, &job.info);
    if (result != 0) {
        file.discard();
        exit(-1);
    }
    if (!file.close_stream()) {
        perror("fclose error");
        file.discard();
        exit(-1);
    }
    if (!file.commit()) {
        perror("rename error");
        return -1;
    }
    return 0;
}
