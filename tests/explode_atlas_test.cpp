// explode_atlas as a user runs it: entries decoded pixel for pixel from atlases of every form,
// the names of the files written, offset files, and every refusal and failure with its message
// and status.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"

namespace {

const std::string kAtlas = EXPLODE_ATLAS_BIN;

// Every pixel tells its place: red is x, green is y, so a shifted, flipped or mirrored cut shows.
Image position_image(int w, int h, bool alpha) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.at(x, y) = {uint8_t(x), uint8_t(y), uint8_t(7 * x + 13 * y + 5),
                              uint8_t(alpha ? 255 - (x + 3 * y) % 200 : 255)};
    return image;
}

// The w x h rectangle at (x, y) of `image`; places outside the image hold `outside`.
Image cut(const Image& image, int x, int y, int w, int h, Rgba outside) {
    Image out(w, h, outside);
    for (int cy = 0; cy < h; ++cy)
        for (int cx = 0; cx < w; ++cx) {
            int sx = x + cx, sy = y + cy;
            if (sx >= 0 && sy >= 0 && sx < image.width && sy < image.height)
                out.at(cx, cy) = image.at(sx, sy);
        }
    return out;
}

// A scratch directory with "img/" for atlas images, "out/" for results and the index beside.
struct AtlasDir {
    TempDir dir;
    std::string img = dir / "img", out = dir / "out", index = dir / "atlas.txt";
    AtlasDir() {
        mkdir(img.c_str(), 0755);
        mkdir(out.c_str(), 0755);
    }
    RunResult run(const std::string& text, const RunOptions& o = {}) const {
        write_bytes(index, text);
        return run_program({kAtlas, index, img, out}, o);
    }
};

std::string offsets(int x, int y) {
    return "OffsetX=" + std::to_string(x) + "\nOffsetY=" + std::to_string(y) + "\n";
}

void expect_png(const std::string& path, const Image& expected, int colour_type) {
    DecodedPng png = read_png(path);
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colour_type, colour_type) << path;
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_EQ(png.image, expected) << path;
}

TEST(ExplodeAtlas, WellFormedIndexGivesEveryEntryAndItsOffsets) {
    AtlasDir d;
    Image sheet0 = position_image(256, 256, true), sheet1 = position_image(128, 128, false);
    write_png_rgba(d.img + "/sheet0.png", sheet0);
    write_png_rgb(d.img + "/sheet1.png", sheet1);
    RunResult r = d.run(
        "* sheet0.png size 256 256\n"
        "hero.png 0 0 32 48 off 2 -4\n"
        "coin.png 32 0 16 16 off 0 0\n"
        "* sheet1.png size 128 128\n"
        "tree.png 0 0 64 100 off -10 3\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"coin.offset", "coin.png", "hero.offset",
                                                     "hero.png", "tree.offset", "tree.png"}));
    expect_png(d.out + "/hero.png", cut(sheet0, 0, 0, 32, 48, {}), PNG_COLOR_TYPE_RGB_ALPHA);
    expect_png(d.out + "/coin.png", cut(sheet0, 32, 0, 16, 16, {}), PNG_COLOR_TYPE_RGB_ALPHA);
    expect_png(d.out + "/tree.png", cut(sheet1, 0, 0, 64, 100, {}), PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(read_bytes(d.out + "/hero.offset"), offsets(2, -4));
    EXPECT_EQ(read_bytes(d.out + "/coin.offset"), offsets(0, 0));
    EXPECT_EQ(read_bytes(d.out + "/tree.offset"), offsets(-10, 3));
}

using Form = PngForm;

class AtlasForms : public ::testing::TestWithParam<Form> {};

// Entries inside, partly outside, wholly outside and left of or above the image, from atlases of
// each form: RGBA keeps its alpha, opaque atlases give RGB, a paletted atlas's transparent entry
// comes out transparent. What lies outside the image is zero in every channel.
TEST_P(AtlasForms, EntriesKeepTheirColoursAndTransparency) {
    const Form form = GetParam();
    AtlasDir d;
    const std::string image_path = d.img + "/atlas.png";
    Image atlas = position_image(13, 11, form == Form::kRgba);
    Image looks = atlas;  // the atlas as the entries should show it
    int colour_type = PNG_COLOR_TYPE_RGB;
    Rgba outside{0, 0, 0, 255};
    switch (form) {
        case Form::kRgba:
            colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
            outside = {0, 0, 0, 0};
            break;
        case Form::kRgb:
        case Form::kPalette:
            break;
        case Form::kKeyedPalette:
            for (int y = 0; y < atlas.height; ++y)
                for (int x = 0; x < atlas.width; ++x)
                    if ((x + 2 * y) % 5 == 0) atlas.at(x, y) = looks.at(x, y) = Rgba{0, 0, 0, 0};
            colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
            outside = {0, 0, 0, 0};
            break;
    }
    // The hidden colour is one the atlas also uses opaque, which must stay.
    write_png_as(image_path, atlas, form, atlas.at(1, 0));
    struct Entry {
        const char* name;
        int x, y, w, h;
    };
    const Entry entries[] = {
        {"inside", 2, 3, 5, 4},   {"whole", 0, 0, 13, 11},      {"right_bottom", 9, 8, 7, 6},
        {"beyond", 20, 30, 3, 2}, {"left_above", -3, -2, 6, 5},
    };
    std::string index = "* atlas.png size 13 11\n";
    for (const Entry& e : entries)
        index += std::string(e.name) + ".png " + std::to_string(e.x) + " " + std::to_string(e.y) +
                 " " + std::to_string(e.w) + " " + std::to_string(e.h) + " off 1 2\n";
    RunResult r = d.run(index);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.name);
        expect_png(d.out + "/" + e.name + ".png", cut(looks, e.x, e.y, e.w, e.h, outside),
                   colour_type);
        EXPECT_EQ(read_bytes(d.out + "/" + e.name + ".offset"), offsets(1, 2));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, AtlasForms,
                         ::testing::Values(Form::kRgba, Form::kRgb, Form::kPalette,
                                           Form::kKeyedPalette),
                         [](const auto& info) { return std::string(png_form_name(info.param)); });

TEST(ExplodeAtlas, FileNamesFollowTheEntryName) {
    struct Case {
        std::string output_directory, name, png, offset;
    };
    const Case cases[] = {
        {"out", "hero.png", "out/hero.png", "out/hero.offset"},
        {"out/", "hero.png", "out//hero.png", "out//hero.offset"},
        {"out", "hero", "out/hero", "out/hero.offset"},
        {"out", "a.png.bak", "out/a.png.bak", "out/a.offset"},
        {"out", "HERO.PNG", "out/HERO.PNG", "out/HERO.PNG.offset"},
        {"x.pngs", "a.png", "x.pngs/a.png", "x.pngs/a.offset"},
        {"out", "sub/a.png", "out/sub/a.png", "out/sub/a.offset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output_directory + " + " + c.name);
        TempDir dir;
        mkdir((dir / "img").c_str(), 0755);
        mkdir((dir / "out").c_str(), 0755);
        mkdir((dir / "out/sub").c_str(), 0755);
        mkdir((dir / "x.pngs").c_str(), 0755);
        write_png_rgba(dir / "img/a.png", position_image(4, 4, true));
        write_bytes(dir / "atlas.txt", "* a.png\n" + c.name + " 1 1 2 2 off 3 4\n");
        RunOptions o;
        o.cwd = dir.path;
        RunResult r = run_program({kAtlas, "atlas.txt", "img", c.output_directory}, o);
        EXPECT_EQ(r.status, 0) << r.err;
        // The same files, whatever the spelling of the path.
        const std::string png = std::filesystem::path(c.png).lexically_normal().string();
        const std::string offset = std::filesystem::path(c.offset).lexically_normal().string();
        std::vector<std::string> expected{"atlas.txt", "img",    "img/a.png", "out",
                                          "out/sub",   "x.pngs", png,         offset};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(list_tree(dir.path), expected);
        expect_png(dir / png, cut(position_image(4, 4, true), 1, 1, 2, 2, {}),
                   PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(read_bytes(dir / offset), offsets(3, 4));
    }
}

// Entries whose numbers cannot be honoured are reported and not written; the walk goes on, and
// offsets of any size are written as read.
TEST(ExplodeAtlas, EntriesThatCannotBeHonouredAreRefused) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(8, 8, true));
    const std::string rule = " (x and y must lie in -32768..32767, w and h in 1..65535)\n";
    const std::string prefix = d.index + ":";
    RunResult r = d.run(
        "* a.png\n"
        "x_big.png 32768 0 1 1\n"
        "y_small.png 0 -32769 1 1\n"
        "w_zero.png 0 0 0 1\n"
        "h_negative.png 0 0 1 -1\n"
        "w_past_16_bits.png 0 0 65556 1\n"
        "no_surface.png 0 0 20000 1\n"
        "edge.png -32768 32767 1 1 off -2147483648 2147483647\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              prefix + "2: entry x_big.png not written: x 32768, y 0, w 1, h 1" + rule + prefix +
                  "3: entry y_small.png not written: x 0, y -32769, w 1, h 1" + rule + prefix +
                  "4: entry w_zero.png not written: x 0, y 0, w 0, h 1" + rule + prefix +
                  "5: entry h_negative.png not written: x 0, y 0, w 1, h -1" + rule + prefix +
                  "6: entry w_past_16_bits.png not written: x 0, y 0, w 65556, h 1" + rule +
                  prefix +
                  "7: entry no_surface.png not written: could not create a 20000x1 "
                  "surface: Width or height is too large\n"
                  "6 entries of " +
                  d.index + " could not be written\n");
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"edge.offset", "edge.png"}));
    expect_png(d.out + "/edge.png", Image(1, 1, {0, 0, 0, 0}), PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(read_bytes(d.out + "/edge.offset"), offsets(-2147483648, 2147483647));
}

TEST(ExplodeAtlas, IndexProblemsAreReportedWithTheirLine) {
    struct Case {
        const char* name;
        std::string index;
        int status;
        std::string err;  // after the index path and ":"
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"empty", "", 0, "", {}},
        {"whitespace_only", "\n \r\n\t\n", 0, "", {}},
        {"first_line_not_a_header",
         "a.png 0 0 1 1\n* a.png\nb.png 0 0 1 1\n",
         1,
         "1: expected an image header line (\"* <image> size <w> <h>\"); the rest of the index "
         "was not read\n",
         {}},
        {"star_without_a_name_after_entries",
         "* a.png\nb.png 0 0 1 1\n*\nc.png 0 0 1 1\n",
         1,
         "3: image header line without an image name; the rest of the index was not read\n",
         {"b.offset", "b.png"}},
        {"entry_lacking_numbers",
         "* a.png\nb.png 0 0 1\nc.png 0 0 1 1\n",
         1,
         "2: skipped entry b.png: it needs x, y, w and h on its line\n",
         {"c.offset", "c.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AtlasDir d;
        write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
        RunResult r = d.run(c.index);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err.empty() ? "" : d.index + ":" + c.err);
        EXPECT_EQ(list_tree(d.out), c.files);
    }
}

TEST(ExplodeAtlas, ImageThatCannotBeLoadedEndsTheRunButKeepsEarlierFiles) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    write_bytes(d.img + "/text.png", "not an image");
    for (const char* bad : {"missing.png", "text.png"}) {
        SCOPED_TRACE(bad);
        RunResult r = d.run("* a.png\nb.png 0 0 1 1\n* " + std::string(bad) +
                            "\nc.png 0 0 1 1\n* a.png\n" + "d.png 0 0 1 1\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Could not load atlas image: " + d.img + "/" + bad + "\n");
        EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"b.offset", "b.png"}));
    }
}

TEST(ExplodeAtlas, FilesThatCannotBeWrittenAreReportedAndTheWalkGoesOn) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    mkdir((d.out + "/c.offset").c_str(), 0755);
    ASSERT_EQ(symlink("/dev/full", (d.out + "/full.offset").c_str()), 0);
    RunResult r = d.run(
        "* a.png\n"
        "nosub/b.png 0 0 1 1\n"
        "c.png 0 0 1 1\n"
        "full.png 0 0 1 1\n"
        "e.png 0 0 2 2 off 5 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "fopen error: No such file or directory\n"
              "Cannot create offset file: " +
                  d.out + "/nosub/b.offset\n" + "Cannot create offset file: " + d.out +
                  "/c.offset\n" + "Cannot write offset file " + d.out +
                  "/full.offset: No space left on device\n" + "3 entries of " + d.index +
                  " could not be written\n");
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"c.offset", "c.png", "e.offset", "e.png",
                                                     "full.offset", "full.png"}));
    EXPECT_EQ(read_bytes(d.out + "/e.offset"), offsets(5, 5));
}

TEST(ExplodeAtlas, OutputDirectoryThatDoesNotExist) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    write_bytes(d.index, "* a.png\nb.png 0 0 1 1\n");
    const std::string out = d.dir / "missing";
    RunResult r = run_program({kAtlas, d.index, d.img, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Output directory " + out + ": No such file or directory\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ExplodeAtlas, PathsThatDoNotFitTheirBuffers) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    const std::string dirs_too_long = "Directory paths must be shorter than 4095 bytes\n";
    // "<directory>/" must fit in 4095 bytes.
    const std::string long_dir(4095, 'd');
    RunResult r = run_program({kAtlas, d.index, long_dir, d.out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, dirs_too_long);
    r = run_program({kAtlas, d.index, d.img, long_dir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, dirs_too_long);

    // An image path one byte too long ends the run; an entry path too long skips the entry.
    const std::string long_image(4096 - d.img.size() - 1, 'i');
    r = d.run("* " + long_image + "\nb.png 0 0 1 1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, d.index + ":1: the path of atlas image " + long_image +
                         " is longer than 4095 bytes\n");
    const std::string long_entry(4096 - d.out.size() - 1, 'e');
    r = d.run("* a.png\n" + long_entry + " 0 0 1 1\nok.png 0 0 1 1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, d.index + ":2: entry " + long_entry +
                         " not written: its file paths are longer than 4095 bytes\n1 entry of " +
                         d.index + " could not be written\n");
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"ok.offset", "ok.png"}));
}

TEST(ExplodeAtlas, IndexFromAPipe) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    write_bytes(d.index, "* a.png\nb.png 1 0 2 3 off 7 8\n");
    RunResult r = run_program({"/bin/sh", "-c", "cat \"$1\" | \"$2\" /dev/stdin \"$3\" \"$4\"",
                               "sh", d.index, kAtlas, d.img, d.out});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_png(d.out + "/b.png", cut(position_image(4, 4, true), 1, 0, 2, 3, {}),
               PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(read_bytes(d.out + "/b.offset"), offsets(7, 8));
}

TEST(ExplodeAtlas, StaleSizeInTheIndexIsAWarning) {
    AtlasDir d;
    write_png_rgba(d.img + "/a.png", position_image(4, 3, true));
    RunResult r = d.run("* a.png size 4 3\nb.png 0 0 1 1\n* a.png size 40 3\nc.png 0 0 1 1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, d.index + ":3: warning: atlas image " + d.img +
                         "/a.png is 4x3 pixels, the index says 40x3\n");
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"b.offset", "b.png", "c.offset", "c.png"}));
}

TEST(ExplodeAtlas, CommandLine) {
    AtlasDir d;
    const std::string usage =
        "Usage: " + kAtlas + " <atlas_file> <atlas_directory> <output_directory>\n";
    RunResult r = run_program({kAtlas, d.index, d.img});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usage);
    EXPECT_EQ(r.out, "");

    // Arguments after the third are ignored.
    write_png_rgba(d.img + "/a.png", position_image(4, 4, true));
    write_bytes(d.index, "* a.png\nb.png 0 0 1 1\n");
    r = run_program({kAtlas, d.index, d.img, d.out, "extra", "more"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(list_tree(d.out), (std::vector<std::string>{"b.offset", "b.png"}));

    const std::string missing = d.dir / "missing.txt";
    r = run_program({kAtlas, missing, d.img, d.out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not open file: " + missing + "\n");
    r = run_program({kAtlas, d.img, d.img, d.out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not read file: " + d.img + "\n");
}

}  // namespace
