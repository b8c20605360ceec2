// The least work the tools' jobs take: decoding each input once with IMG_Load and encoding each
// output with libpng at its default settings, straight from the decoded rows, into a plain file
// (no SDL surface per output, no blit, no temporary file, no offset file).
//   floor cut <image> <rects file> <output dir>   one PNG per "name x y w h" line
//   floor glue <sheet.png> <glyph file>...        one 1024x512 RGBA sheet of all glyphs
#include <SDL.h>
#include <SDL_image.h>
#include <malloc.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void die(const std::string& what) {
    fprintf(stderr, "floor: %s\n", what.c_str());
    exit(1);
}

// Encodes `h` rows of `w` pixels with `channels` bytes each (3: RGB, 4: RGBA) to `path`.
void encode(const std::string& path, int w, int h, int channels, png_bytep* rows) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) die("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) die("libpng failed on " + path);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (fclose(f) != 0) die("cannot write " + path);
}

SDL_Surface* load(const char* path) {
    SDL_Surface* s = IMG_Load(path);
    if (!s) die(std::string("cannot load ") + path + ": " + IMG_GetError());
    return s;
}

int cut(const char* image, const char* rects, const std::string& out) {
    SDL_Surface* s = load(image);
    const SDL_PixelFormat* f = s->format;
    // RGBA and RGB surfaces are encoded from their own rows; a palette's rows become RGB.
    const bool palette = f->palette != nullptr;
    const int channels = palette ? 3 : f->BytesPerPixel;
    FILE* list = fopen(rects, "r");
    if (!list) die(std::string("cannot open ") + rects);
    char name[4096];
    int x, y, w, h;
    std::vector<png_bytep> rows;
    std::vector<png_byte> rgb;
    while (fscanf(list, "%4095s %d %d %d %d", name, &x, &y, &w, &h) == 5) {
        rows.resize(h);
        if (palette) rgb.resize(size_t(w) * h * 3);
        for (int r = 0; r < h; ++r) {
            Uint8* src = static_cast<Uint8*>(s->pixels) + size_t(y + r) * s->pitch +
                         size_t(x) * f->BytesPerPixel;
            if (!palette) {
                rows[r] = src;
                continue;
            }
            rows[r] = &rgb[size_t(r) * w * 3];
            for (int i = 0; i < w; ++i) {
                const SDL_Color& c = f->palette->colors[src[i]];
                rows[r][3 * i] = c.r;
                rows[r][3 * i + 1] = c.g;
                rows[r][3 * i + 2] = c.b;
            }
        }
        encode(out + "/" + name, w, h, channels, rows.data());
    }
    fclose(list);
    SDL_FreeSurface(s);
    return 0;
}

int glue(const char* sheet, int count, char** glyphs) {
    const int W = 1024, H = 512;
    std::vector<png_byte> canvas(size_t(W) * H * 4, 0);
    int x = 0, y = 0, row_height = 0;
    for (int i = 0; i < count; ++i) {
        SDL_Surface* g = load(glyphs[i]);
        if (g->format->BytesPerPixel != 4) die("the floor glues RGBA glyphs only");
        if (x + g->w >= W) {
            x = 0;
            y += row_height + 1;
            row_height = 0;
        }
        for (int r = 0; r < g->h && y + r < H; ++r)
            memcpy(&canvas[(size_t(y + r) * W + x) * 4],
                   static_cast<Uint8*>(g->pixels) + size_t(r) * g->pitch, size_t(g->w) * 4);
        x += g->w + 1;
        if (g->h > row_height) row_height = g->h;
        SDL_FreeSurface(g);
    }
    std::vector<png_bytep> rows(H);
    for (int r = 0; r < H; ++r) rows[r] = &canvas[size_t(r) * W * 4];
    encode(sheet, W, H, 4, rows.data());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The same allocator settings as the tools (common/memory_tuning.cpp), so that the
    // comparison measures what the tools do, not how the allocator is set.
    if (!getenv("FLOOR_DEFAULT_MALLOC")) {
        mallopt(M_MMAP_THRESHOLD, 256 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
    }
    if (argc == 5 && strcmp(argv[1], "cut") == 0) return cut(argv[2], argv[3], argv[4]);
    if (argc >= 3 && strcmp(argv[1], "glue") == 0) return glue(argv[2], argc - 3, argv + 3);
    fprintf(stderr,
            "Usage: %s cut <image> <rects file> <output dir>\n"
            "       %s glue <sheet.png> <glyph file>...\n",
            argv[0], argv[0]);
    return 1;
}
