// PNG reading and writing for tests, straight on libpng: fixtures are written and results decoded
// without any of the tools' own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Rgba& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const Rgba& c);

// An RGBA image in memory, row by row.
struct Image {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;

    Image() = default;
    Image(int w, int h, Rgba fill = {0, 0, 0, 0})
        : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgba& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    // The w x h rectangle at (x, y).
    Image crop(int x, int y, int w, int h) const;
    bool operator==(const Image& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

// `image` with every pixel's alpha set to 255: what a picture without alpha shows.
Image opaque(Image image);

// Prints the size and the pixels (the first 64 of a large image), for test failures.
std::ostream& operator<<(std::ostream& os, const Image& image);

// A decoded PNG: its header fields and its pixels expanded to 8-bit RGBA.
struct DecodedPng {
    bool ok = false;
    std::string error;
    int colour_type = -1, bit_depth = -1, interlace = -1;
    Image image;
};
DecodedPng read_png(const std::string& path);

// Writes an 8-bit RGBA (colour type 6) or RGB (colour type 2, alpha dropped) PNG.
void write_png_rgba(const std::string& path, const Image& image);
void write_png_rgb(const std::string& path, const Image& image);
// Writes an 8-bit paletted PNG; `alpha` (possibly shorter than the palette) becomes its tRNS chunk.
void write_png_palette(const std::string& path, int width, int height,
                       const std::vector<uint8_t>& indices, const std::vector<Rgba>& palette,
                       const std::vector<uint8_t>& alpha = {});
// Writes `image` as a paletted PNG, building the palette from its colours (at most 256).
void write_png_indexed(const std::string& path, const Image& image);

// Writes `image` as a paletted PNG whose pixels of alpha 0 all use index 0, the one transparent
// entry (colour `hidden`, so that a decoder that ignores transparency shows it); every other
// entry is opaque.
void write_png_keyed(const std::string& path, const Image& image, Rgba hidden);

// Writes a grey PNG of `bit_depth` (1, 2, 4, 8 or 16) bits from one sample a pixel, row by row;
// `transparent_level` >= 0 becomes its tRNS chunk, the one grey level shown transparent.
void write_png_grey(const std::string& path, int width, int height, int bit_depth,
                    const std::vector<uint16_t>& samples, int transparent_level = -1);

// The forms in which tests hand pictures to the tools.
enum class PngForm { kRgba, kRgb, kPalette, kKeyedPalette };
const char* png_form_name(PngForm form);
// Writes `image` in `form`: RGB drops alpha, a palette ignores it, a keyed palette makes the
// pixels of alpha 0 its transparent entry, of colour `hidden`.
void write_png_as(const std::string& path, const Image& image, PngForm form, Rgba hidden = {});

std::string read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::string& bytes);
