#include "png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

std::ostream& operator<<(std::ostream& os, const Image& image) {
    os << image.width << "x" << image.height << " {";
    for (size_t i = 0; i < image.pixels.size() && i < 64; ++i) {
        if (i % image.width == 0) os << (i ? " / " : "");
        os << image.pixels[i];
    }
    return os << (image.pixels.size() > 64 ? " ...}" : "}");
}

Image opaque(Image image) {
    for (Rgba& c : image.pixels) c.a = 255;
    return image;
}

Image Image::crop(int x0, int y0, int w, int h) const {
    Image out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.at(x, y) = at(x0 + x, y0 + y);
    return out;
}

namespace {

struct File {
    FILE* f;
    explicit File(const std::string& path, const char* mode) : f(fopen(path.c_str(), mode)) {}
    ~File() {
        if (f) fclose(f);
    }
};

// Reads through libpng into `out`; kept free of destructors because libpng longjmps out of it.
bool decode(FILE* f, DecodedPng* out, std::vector<uint8_t>* buffer, std::vector<png_bytep>* rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) return false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    out->colour_type = png_get_color_type(png, info);
    out->bit_depth = png_get_bit_depth(png, info);
    out->interlace = png_get_interlace_type(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    buffer->resize(size_t(w) * h * 4);
    rows->resize(h);
    for (int y = 0; y < h; ++y) (*rows)[y] = buffer->data() + size_t(y) * w * 4;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    out->image.width = w;
    out->image.height = h;
    return true;
}

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

// Writes rows of `channels` bytes a pixel (one byte a sample below 8 bits, packed by libpng);
// `grey_key` >= 0 is the transparent level of a grey image.
void write(const std::string& path, int w, int h, int colour_type, int channels,
           const std::vector<uint8_t>& data, const std::vector<png_color>& palette = {},
           const std::vector<uint8_t>& trns = {}, int bit_depth = 8, int grey_key = -1) {
    File file(path, "wb");
    if (!file.f) fail("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(h);
    for (int y = 0; y < h; ++y)
        rows[y] = const_cast<uint8_t*>(data.data()) + size_t(y) * w * channels;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fail("libpng failed writing " + path);
    }
    png_init_io(png, file.f);
    png_set_IHDR(png, info, w, h, bit_depth, colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
    if (grey_key >= 0) {
        png_color_16 key{};
        key.gray = png_uint_16(grey_key);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    if (bit_depth < 8) png_set_packing(png);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

}  // namespace

DecodedPng read_png(const std::string& path) {
    DecodedPng out;
    File file(path, "rb");
    if (!file.f) {
        out.error = "cannot open " + path;
        return out;
    }
    std::vector<uint8_t> buffer;
    std::vector<png_bytep> rows;
    if (!decode(file.f, &out, &buffer, &rows)) {
        out.error = "libpng could not decode " + path;
        return out;
    }
    out.image.pixels.resize(size_t(out.image.width) * out.image.height);
    for (size_t i = 0; i < out.image.pixels.size(); ++i)
        out.image.pixels[i] = {buffer[4 * i], buffer[4 * i + 1], buffer[4 * i + 2],
                               buffer[4 * i + 3]};
    out.ok = true;
    return out;
}

void write_png_grey(const std::string& path, int w, int h, int bit_depth,
                    const std::vector<uint16_t>& samples, int transparent_level) {
    // One byte a sample (packed by libpng below 8 bits), two big-endian bytes at 16.
    const int bytes = bit_depth == 16 ? 2 : 1;
    std::vector<uint8_t> data;
    for (uint16_t v : samples) {
        if (bytes == 2) data.push_back(uint8_t(v >> 8));
        data.push_back(uint8_t(v));
    }
    write(path, w, h, PNG_COLOR_TYPE_GRAY, bytes, data, {}, {}, bit_depth, transparent_level);
}

void write_png_rgba(const std::string& path, const Image& image) {
    std::vector<uint8_t> data;
    for (const Rgba& c : image.pixels) data.insert(data.end(), {c.r, c.g, c.b, c.a});
    write(path, image.width, image.height, PNG_COLOR_TYPE_RGB_ALPHA, 4, data);
}

void write_png_rgb(const std::string& path, const Image& image) {
    std::vector<uint8_t> data;
    for (const Rgba& c : image.pixels) data.insert(data.end(), {c.r, c.g, c.b});
    write(path, image.width, image.height, PNG_COLOR_TYPE_RGB, 3, data);
}

void write_png_palette(const std::string& path, int width, int height,
                       const std::vector<uint8_t>& indices, const std::vector<Rgba>& palette,
                       const std::vector<uint8_t>& alpha) {
    std::vector<png_color> plte;
    for (const Rgba& c : palette) plte.push_back({c.r, c.g, c.b});
    write(path, width, height, PNG_COLOR_TYPE_PALETTE, 1, indices, plte, alpha);
}

void write_png_indexed(const std::string& path, const Image& image) {
    std::map<uint32_t, uint8_t> index_of;
    std::vector<Rgba> palette;
    std::vector<uint8_t> indices;
    for (const Rgba& c : image.pixels) {
        uint32_t key = uint32_t(c.r) << 16 | c.g << 8 | c.b;
        auto it = index_of.find(key);
        if (it == index_of.end()) {
            if (palette.size() == 256) fail("more than 256 colours for " + path);
            it = index_of.emplace(key, uint8_t(palette.size())).first;
            palette.push_back(c);
        }
        indices.push_back(it->second);
    }
    write_png_palette(path, image.width, image.height, indices, palette);
}

void write_png_keyed(const std::string& path, const Image& image, Rgba hidden) {
    std::map<uint32_t, uint8_t> index_of;
    std::vector<Rgba> palette{hidden};
    std::vector<uint8_t> indices;
    for (const Rgba& c : image.pixels) {
        if (c.a == 0) {
            indices.push_back(0);
            continue;
        }
        uint32_t key = uint32_t(c.r) << 16 | c.g << 8 | c.b;
        auto it = index_of.find(key);
        if (it == index_of.end()) {
            if (palette.size() == 256) fail("more than 255 colours for " + path);
            it = index_of.emplace(key, uint8_t(palette.size())).first;
            palette.push_back(c);
        }
        indices.push_back(it->second);
    }
    write_png_palette(path, image.width, image.height, indices, palette, {0});
}

const char* png_form_name(PngForm form) {
    switch (form) {
        case PngForm::kRgba:
            return "RGBA";
        case PngForm::kRgb:
            return "RGB";
        case PngForm::kPalette:
            return "Palette";
        case PngForm::kKeyedPalette:
            return "KeyedPalette";
    }
    return "";
}

void write_png_as(const std::string& path, const Image& image, PngForm form, Rgba hidden) {
    switch (form) {
        case PngForm::kRgba:
            return write_png_rgba(path, image);
        case PngForm::kRgb:
            return write_png_rgb(path, image);
        case PngForm::kPalette:
            return write_png_indexed(path, image);
        case PngForm::kKeyedPalette:
            return write_png_keyed(path, image, hidden);
    }
}

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
