// Every basic PNG test image (each colour type, bit depth, palette, transparency and
// interlacing) through each program's loader: as an atlas image cut whole and in pieces, as a
// glyph file glued onto a sheet, and as a font sheet. What comes out is compared with libpng's
// own decoding of the file, expanded to 8-bit RGBA.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"
#include "support/sheet.h"

namespace {

const std::string kSuite = PNGSUITE_DIR;

// The basic images, by file name.
std::vector<std::string> suite_images() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(kSuite))
        if (e.path().extension() == ".png") names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

#define SKIP_WITHOUT_SUITE()                                      \
    if (kSuite.empty() || !std::filesystem::is_directory(kSuite)) \
    GTEST_SKIP() << "the basic PNG test images are not here (PNGSUITE_DIR)"

// What a program can be asked to keep of a picture: every colour of a visible pixel and its
// alpha; a fully transparent pixel is transparent whatever colour it carries.
Image comparable(Image image) {
    for (Rgba& c : image.pixels)
        if (c.a == 0) c = {0, 0, 0, 0};
    return image;
}

// libpng's decoding of a suite image.
Image expected_picture(const std::string& name) {
    DecodedPng png = read_png(kSuite + "/" + name);
    EXPECT_TRUE(png.ok) << png.error;
    return comparable(png.image);
}

void copy_into(const std::string& name, const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::copy_file(kSuite + "/" + name, path);
}

TEST(PngSuiteLoaders, AtlasImageCutWholeAndInPieces) {
    SKIP_WITHOUT_SUITE();
    for (const std::string& name : suite_images()) {
        SCOPED_TRACE(name);
        const Image want = expected_picture(name);
        const int w = want.width, h = want.height, a = w / 2 + 1, b = h / 3;
        TempDir dir;
        copy_into(name, dir / "img/x.png");
        std::filesystem::create_directories(dir / "out");
        // The whole image, and three pieces of odd sizes that tile it.
        struct Piece {
            const char* file;
            int x, y, w, h;
        };
        const std::vector<Piece> pieces = {{"whole", 0, 0, w, h},
                                           {"p1", 0, 0, a, b},
                                           {"p2", a, 0, w - a, b},
                                           {"p3", 0, b, w, h - b}};
        std::string index = "* x.png size " + std::to_string(w) + " " + std::to_string(h) + "\n";
        for (const Piece& p : pieces)
            index += std::string(p.file) + ".png " + std::to_string(p.x) + " " +
                     std::to_string(p.y) + " " + std::to_string(p.w) + " " + std::to_string(p.h) +
                     "\n";
        write_bytes(dir / "index.txt", index);
        RunResult r = run_program({EXPLODE_ATLAS_BIN, dir / "index.txt", dir / "img", dir / "out"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const Piece& p : pieces) {
            DecodedPng out = read_png(dir / ("out/" + std::string(p.file) + ".png"));
            ASSERT_TRUE(out.ok) << p.file << ": " << out.error;
            EXPECT_EQ(comparable(out.image), want.crop(p.x, p.y, p.w, p.h)) << p.file;
        }
    }
}

TEST(PngSuiteLoaders, GlyphFileGluedOntoASheet) {
    SKIP_WITHOUT_SUITE();
    for (const std::string& name : suite_images()) {
        SCOPED_TRACE(name);
        const Image want = expected_picture(name);
        TempDir dir;
        copy_into(name, dir / ("glyphs/" + glyph_name("f.png", 33)));
        RunResult r = run_program({GLUE_FONT_BIN, dir / "f.png", dir / "glyphs"});
        ASSERT_EQ(r.status, 0) << r.err;
        DecodedPng sheet = read_png(dir / "f.png");
        ASSERT_TRUE(sheet.ok) << sheet.error;
        EXPECT_EQ(comparable(sheet.image.crop(0, 0, want.width, want.height)), want);
        EXPECT_EQ(sheet.image.at(want.width, 0), kMarker);
        EXPECT_EQ(sheet.image.at(0, want.height), kMarker);
    }
}

TEST(PngSuiteLoaders, FontSheetScannedAsItLoads) {
    // These pictures are no font sheets, but some hold marker or row line colours, so the scan
    // finds glyphs in them. Each glyph it reports must be what the picture shows there: its
    // file holds that rectangle, a marker ends it on the right, and a marker, a row line or the
    // bottom edge ends it below. A glyph without a right marker runs to the edge and is dropped.
    SKIP_WITHOUT_SUITE();
    for (const std::string& name : suite_images()) {
        SCOPED_TRACE(name);
        const Image want = expected_picture(name);
        auto ends_below = [&](int x, int y) {
            return y == want.height || want.at(x, y) == kMarker || want.at(x, y) == kRowLine;
        };
        TempDir dir;
        copy_into(name, dir / "x.png");
        std::filesystem::create_directories(dir / "out");
        RunResult r = run_program({EXPLODE_FONT_BIN, dir / "x.png", dir / "out"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");

        std::istringstream lines(r.out);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "Exploding font " + (dir / "x.png") + " into " + (dir / "out"));
        std::vector<std::string> written;
        int x = 0, y = 0, w = 0, code = 33, glyphs_seen = 0;
        bool pending = false;  // a glyph read, its "Saving" line not yet seen
        while (std::getline(lines, line)) {
            if (sscanf(line.c_str(), "Reading character at %d %d...width %d", &x, &y, &w) == 3) {
                if (pending)
                    ADD_FAILURE() << "glyph before " << line
                                  << " was neither saved nor at the edge";
                ASSERT_TRUE(x >= 0 && y >= 0 && w > 0 && x + w <= want.width && y < want.height)
                    << line;
                pending = x + w < want.width;
                ++glyphs_seen;
                continue;
            }
            const std::string file = glyph_name("x.png", code);
            ASSERT_EQ(line, "Saving " + (dir / ("out/" + file)));
            ASSERT_TRUE(pending) << line;
            pending = false;
            EXPECT_EQ(want.at(x + w, y), kMarker) << file;
            DecodedPng glyph = read_png(dir / ("out/" + file));
            ASSERT_TRUE(glyph.ok) << file << ": " << glyph.error;
            const int h = glyph.image.height;
            EXPECT_TRUE(ends_below(x, y + h)) << file << " at " << x << "," << y << " height " << h;
            for (int cy = y; cy < y + h; ++cy) EXPECT_FALSE(ends_below(x, cy)) << file;
            EXPECT_EQ(comparable(glyph.image), want.crop(x, y, w, h)) << file;
            written.push_back(file);
            ++code;
        }
        EXPECT_FALSE(pending);
        EXPECT_GT(glyphs_seen, 0);
        EXPECT_EQ(list_tree(dir / "out"), written);
    }
}

}  // namespace
