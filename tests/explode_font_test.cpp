// explode_font as a user runs it: sheets in every image form, exact progress lines, glyph files
// decoded pixel for pixel, statuses and messages.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"
#include "support/sheet.h"

namespace {

const std::string kExplode = EXPLODE_FONT_BIN;

using Form = PngForm;

RunResult explode(const std::string& font, const std::string& out, const RunOptions& o = {}) {
    return run_program({kExplode, font, out}, o);
}

// What explode_font prints for a sheet whose glyphs are all cut and written.
std::string progress_for(const std::string& font, const std::string& out,
                         const std::string& font_file_name,
                         const std::vector<PlacedGlyph>& glyphs) {
    std::string text = "Exploding font " + font + " into " + out + "\n";
    for (const PlacedGlyph& g : glyphs)
        text += "Reading character at " + std::to_string(g.x) + " " + std::to_string(g.y) +
                "...width " + std::to_string(g.image.width) + "\nSaving " + out + "/" +
                glyph_name(font_file_name, g.code) + "\n";
    return text;
}

std::vector<std::string> names_for(const std::string& font_file_name, int first, int last) {
    std::vector<std::string> names;
    for (int code = first; code <= last; ++code) names.push_back(glyph_name(font_file_name, code));
    return names;
}

// Rows of different heights, marker runs at the left edge and between glyphs, a one-pixel glyph,
// and three lines of background below the last row.
Sheet varied_sheet(bool alpha, bool few_colours) {
    auto g = [&](int w, int h, int seed) { return test_glyph(w, h, seed, alpha, few_colours); };
    SheetLayout layout;
    layout.width = 40;
    layout.lead_markers = 2;
    layout.gap = 3;
    layout.extra_lines = 3;
    return build_sheet({{g(3, 4, 1), g(5, 2, 2), g(1, 1, 3), g(4, 6, 4)},
                        {g(6, 3, 5), g(2, 3, 6)},
                        {g(7, 5, 7), g(1, 2, 8)}},
                       layout);
}

class ExplodeForms : public ::testing::TestWithParam<Form> {};

TEST_P(ExplodeForms, EveryGlyphLandsInItsOwnFileWithItsPixels) {
    const Form form = GetParam();
    const bool alpha = form == Form::kRgba;
    Sheet sheet = varied_sheet(alpha, form == Form::kPalette);
    TempDir dir;
    const std::string font = dir / "small.png";
    write_png_as(font, sheet.image, form);
    const std::string out = dir / "glyphs";
    mkdir(out.c_str(), 0755);

    RunResult r = explode(font, out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Each background line the scan lands on reads as one glyph start without a right marker.
    const int below = sheet.image.height - 3;
    EXPECT_EQ(r.out, progress_for(font, out, "small.png", sheet.glyphs) +
                         "Reading character at 0 " + std::to_string(below) + "...width 40\n" +
                         "Reading character at 0 " + std::to_string(below + 2) + "...width 40\n");
    ASSERT_EQ(list_dir(out), names_for("small.png", 33, 40));
    for (const PlacedGlyph& g : sheet.glyphs) {
        SCOPED_TRACE("code " + std::to_string(g.code));
        DecodedPng png = read_png(out + "/" + glyph_name("small.png", g.code));
        ASSERT_TRUE(png.ok) << png.error;
        EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(png.image, alpha ? g.image : opaque(g.image));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, ExplodeForms,
                         ::testing::Values(Form::kRgba, Form::kRgb, Form::kPalette),
                         [](const auto& info) { return std::string(png_form_name(info.param)); });

// A paletted sheet whose transparency is one palette entry: glyph pixels of that entry come out
// transparent black, every other pixel opaque, and the scan reads markers as before.
TEST(Explode, KeyedSheetPixelsComeOutTransparent) {
    Sheet sheet = varied_sheet(false, true);
    for (PlacedGlyph& g : sheet.glyphs)
        for (int y = 0; y < g.image.height; ++y)
            for (int x = 0; x < g.image.width; ++x)
                if ((3 * x + y + g.code) % 4 == 0)
                    g.image.at(x, y) = sheet.image.at(g.x + x, g.y + y) = kBackground;
    TempDir dir;
    const std::string font = dir / "keyed.png";
    // The hidden colour is one the glyphs also use opaque: those pixels must stay opaque.
    write_png_keyed(font, sheet.image, sheet.glyphs[0].image.at(0, 0));
    RunResult r = explode(font, dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const PlacedGlyph& g : sheet.glyphs) {
        SCOPED_TRACE("code " + std::to_string(g.code));
        DecodedPng png = read_png(dir / glyph_name("keyed.png", g.code));
        ASSERT_TRUE(png.ok) << png.error;
        EXPECT_EQ(png.image, g.image);
    }
}

// One sheet, one expectation: the glyphs that come out and what is printed.
struct OddSheet {
    const char* name;
    Image image;
    std::vector<PlacedGlyph> written;  // codes from 33, in order
    std::string progress;              // after the "Exploding font" line
    int status;
    std::string err;
    // When not empty, the sheet is written as a palette PNG of these entries, with `indices`
    // giving its pixels (the size of `image`).
    std::vector<Rgba> palette = {};
    std::vector<uint8_t> indices = {};
};

Image row_of(std::initializer_list<Rgba> pixels) {
    Image image(int(pixels.size()), 1);
    int x = 0;
    for (const Rgba& c : pixels) image.at(x++, 0) = c;
    return image;
}

std::vector<OddSheet> odd_sheets() {
    std::vector<OddSheet> cases;
    const Rgba ink{90, 100, 110, 255};
    {
        // Nothing but markers: every second line is a row top line, none holds a glyph.
        cases.push_back({"only_markers", Image(9, 7, kMarker), {}, "", 0, ""});
    }
    { cases.push_back({"one_pixel_wide", Image(1, 5, ink), {}, "", 0, ""}); }
    {
        // A row top line made of row line colour: one glyph start at 0 running to the edge,
        // dropped, and the next row top two lines lower.
        Image image(6, 3, kMarker);
        for (int x = 0; x < 6; ++x) image.at(x, 0) = kRowLine;
        image.at(0, 2) = ink;
        cases.push_back({"row_line_top_line",
                         image,
                         {{33, 0, 2, row_of({ink})}},
                         "Reading character at 0 0...width 6\n"
                         "Reading character at 0 2...width 1\nSaving *033\n",
                         0,
                         ""});
    }
    {
        // A magenta pixel with alpha below 255 is no marker; an opaque one ends the glyph.
        Image image(10, 3, kMarker);
        Image wide = row_of({ink, {255, 0, 255, 254}, ink, ink});
        for (int x = 0; x < 4; ++x) image.at(x, 0) = wide.at(x, 0);
        image.at(0, 1) = kRowLine;
        Image cut = row_of({ink});
        image.at(5, 0) = ink;
        image.at(6, 0) = kMarker;  // inside what a user meant as one glyph 5..7
        image.at(7, 0) = ink;
        image.at(5, 1) = image.at(7, 1) = kRowLine;
        cases.push_back({"translucent_magenta_is_no_marker",
                         image,
                         {{33, 0, 0, wide}, {34, 5, 0, cut}, {35, 7, 0, cut}},
                         "Reading character at 0 0...width 4\nSaving *033\n"
                         "Reading character at 5 0...width 1\nSaving *034\n"
                         "Reading character at 7 0...width 1\nSaving *035\n",
                         0,
                         ""});
    }
    {
        // A glyph with no marker to its right is dropped; its code passes to the next row.
        Image image(8, 4, kMarker);
        image.at(0, 0) = image.at(1, 0) = ink;
        for (int x = 3; x < 8; ++x) image.at(x, 0) = ink;
        for (int x = 0; x < 8; ++x) image.at(x, 1) = kRowLine;
        image.at(0, 2) = image.at(1, 2) = ink;
        for (int x = 0; x < 8; ++x) image.at(x, 3) = kRowLine;
        Image two = row_of({ink, ink});
        cases.push_back({"glyph_dropped_at_right_edge",
                         image,
                         {{33, 0, 0, two}, {34, 0, 2, two}},
                         "Reading character at 0 0...width 2\nSaving *033\n"
                         "Reading character at 3 0...width 5\n"
                         "Reading character at 0 2...width 2\nSaving *034\n",
                         0,
                         ""});
    }
    {
        // A palette without magenta: the entry nearest to it (grey 170) is no marker, so the
        // row is one glyph running to the edge, dropped.
        cases.push_back(
            {"palette_without_magenta",
             Image(5, 2),
             {},
             "Reading character at 0 0...width 5\n",
             0,
             "",
             {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 255}},
             {0, 2, 1, 2, 3, 3, 3, 3, 3, 3}});
    }
    {
        // Two palette entries hold magenta; both are markers.
        const Rgba dark{10, 20, 30, 255};
        cases.push_back({"palette_with_magenta_twice",
                         Image(5, 2),
                         {{33, 0, 0, row_of({dark})}, {34, 2, 0, row_of({dark})}},
                         "Reading character at 0 0...width 1\nSaving *033\n"
                         "Reading character at 2 0...width 1\nSaving *034\n",
                         0,
                         "",
                         {kMarker, dark, kMarker, kRowLine},
                         {1, 2, 1, 0, 0, 3, 3, 3, 3, 3}});
    }
    return cases;
}

TEST(ExplodeOddSheets, GlyphFilesAndProgressAsTheScanReadsThem) {
    for (const OddSheet& c : odd_sheets()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string font = dir / "odd.png";
        if (c.palette.empty())
            write_png_rgba(font, c.image);
        else
            write_png_palette(font, c.image.width, c.image.height, c.indices, c.palette);
        RunResult r = explode(font, dir.path);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        std::vector<std::string> expected_files{"odd.png"};
        for (const PlacedGlyph& g : c.written)
            expected_files.push_back(glyph_name("odd.png", g.code));
        std::sort(expected_files.begin(), expected_files.end());
        EXPECT_EQ(list_dir(dir.path), expected_files);
        for (const PlacedGlyph& g : c.written)
            EXPECT_EQ(read_png(dir / glyph_name("odd.png", g.code)).image, g.image)
                << "code " << g.code;
        // "*NNN" in the expected progress stands for that glyph file's path.
        std::string progress = c.progress;
        for (size_t at; (at = progress.find('*')) != std::string::npos;)
            progress.replace(at, 4,
                             dir / glyph_name("odd.png", std::stoi(progress.substr(at + 1, 3))));
        EXPECT_EQ(r.out, "Exploding font " + font + " into " + dir.path + "\n" + progress);
    }
}

TEST(Explode, StopsAfterCode255) {
    // 240 one-pixel glyphs, 15 to a row: codes 33 to 255 are written and the rest never read.
    std::vector<std::vector<Image>> rows(16);
    for (int i = 0; i < 240; ++i) rows[i / 15].push_back(test_glyph(1, 1, i, true));
    SheetLayout layout;
    layout.width = 31;
    Sheet sheet = build_sheet(rows, layout);
    TempDir dir;
    write_png_rgba(dir / "many.png", sheet.image);
    const std::string out = dir / "out";
    mkdir(out.c_str(), 0755);
    RunResult r = explode(dir / "many.png", out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(list_dir(out), names_for("many.png", 33, 255));
    std::vector<PlacedGlyph> first_223(sheet.glyphs.begin(), sheet.glyphs.begin() + 223);
    EXPECT_EQ(r.out, progress_for(dir / "many.png", out, "many.png", first_223));
    EXPECT_EQ(read_png(out + "/many.png_255.png").image, sheet.glyphs[222].image);
}

TEST(Explode, GlyphNamesKeepTheFontFilesLastComponentAndTheDirectoryAsGiven) {
    TempDir dir;
    mkdir((dir / "fonts").c_str(), 0755);
    mkdir((dir / "out").c_str(), 0755);
    Sheet sheet = build_sheet({{test_glyph(2, 2, 1, true)}});
    write_png_rgba(dir / "fonts/big.font.png", sheet.image);
    // Relative paths, run from the scratch directory, and an output directory ending in "/".
    RunOptions in_dir;
    in_dir.cwd = dir.path;
    RunResult r = explode("fonts/big.font.png", "out/", in_dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Exploding font fonts/big.font.png into out/\n"
              "Reading character at 0 0...width 2\n"
              "Saving out//big.font.png_033.png\n");
    EXPECT_EQ(list_dir(dir / "out"), std::vector<std::string>{"big.font.png_033.png"});
}

TEST(Explode, UsageNamesTheProgramAsInvoked) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{kExplode}, {kExplode, "a.png"}, {kExplode, "a", "b", "c"}}) {
        RunResult r = run_program(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Usage: " + kExplode + " <font_file> <output_path>\n");
    }
}

TEST(Explode, SheetThatCannotBeLoaded) {
    TempDir dir;
    write_bytes(dir / "notes.png", "these are not pixels\n");
    struct Case {
        std::string font, reason;
    };
    for (const Case& c : {Case{dir / "missing.png", "Couldn't open " + (dir / "missing.png")},
                          Case{dir / "notes.png", "Unsupported image format"}}) {
        RunResult r = explode(c.font, dir.path);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Exploding font " + c.font + " into " + dir.path + "\n");
        EXPECT_EQ(r.err, "Loading font \"" + c.font + "\":" + c.reason + "\n");
    }
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"notes.png"});
}

TEST(Explode, RunsHeadlessWithoutTouchingTheTerminal) {
    Sheet sheet = build_sheet({{test_glyph(2, 3, 1, true)}});
    TempDir dir;
    write_png_rgba(dir / "f.png", sheet.image);
    for (const char* term : {"", "xterm"}) {
        RunOptions o;
        o.unset_env = {"SDL_VIDEODRIVER", "DISPLAY"};
        if (*term) {
            o.set_env = {{"TERM", term}};
        } else {
            o.unset_env.push_back("TERM");
        }
        RunResult r = explode(dir / "f.png", dir.path, o);
        EXPECT_EQ(r.status, 0) << "TERM=" << term << ": " << r.err;
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
        EXPECT_EQ(r.out, progress_for(dir / "f.png", dir.path, "f.png", sheet.glyphs));
    }
}

TEST(Explode, UnusableVideoDriverChosenByTheUser) {
    RunOptions o;
    o.set_env = {{"SDL_VIDEODRIVER", "no_such_driver"}};
    TempDir dir;
    RunResult r = explode(dir / "f.png", dir.path, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Couldn't initialize SDL: No available video device\n");
}

TEST(Explode, UnwritableGlyphFilesEndWithStatus1) {
    // A directory stands where the first glyph file would go: it stays, the second is written.
    Sheet sheet = build_sheet({{test_glyph(2, 3, 1, true), test_glyph(3, 1, 2, true)}});
    TempDir dir;
    write_png_rgba(dir / "f.png", sheet.image);
    mkdir((dir / "f.png_033.png").c_str(), 0755);
    RunResult r = explode(dir / "f.png", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, progress_for(dir / "f.png", dir.path, "f.png", sheet.glyphs));
    EXPECT_EQ(r.err, "fopen error: Is a directory\n1 glyph file could not be written\n");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "f.png_033.png"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "f.png_033.png"));
    EXPECT_EQ(read_png(dir / "f.png_034.png").image, sheet.glyphs[1].image);
}

TEST(Explode, ZeroHeightGlyphIsReportedNotWritten) {
    // The glyph start pixel is itself row line colour, so the glyph measures 1x0.
    Image image(5, 3, kMarker);
    image.at(0, 0) = kRowLine;
    image.at(2, 0) = {1, 2, 3, 255};
    image.at(2, 1) = kRowLine;
    TempDir dir;
    write_png_rgba(dir / "z.png", image);
    RunResult r = explode(dir / "z.png", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot write " + (dir / "z.png_033.png") +
                         ": the image is 1x0 pixels, a PNG needs at least 1x1\n"
                         "1 glyph file could not be written\n");
    EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"z.png", "z.png_034.png"}));
    EXPECT_EQ(read_png(dir / "z.png_034.png").image, row_of({{1, 2, 3, 255}}));
}

TEST(Explode, GlyphPathsLongerThanTheBufferAreRefusedBeforeAnything) {
    TempDir dir;
    Sheet sheet = build_sheet({{test_glyph(2, 3, 1, true)}});
    write_png_rgba(dir / "f.png", sheet.image);
    // 4095 characters fit with the terminating zero; one more does not.
    const std::string name_part = "/f.png_033.png";
    for (size_t total : {size_t(4095), size_t(4096)}) {
        std::string out = dir.path + "/";
        out += std::string(total - name_part.size() - out.size(), 'd');
        RunResult r = explode(dir / "f.png", out);
        EXPECT_EQ(r.status, 1);
        if (total == 4095) {
            EXPECT_EQ(r.err, "Output directory " + out + ": File name too long\n");
        } else {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err,
                      "Glyph file paths in the output directory would be longer than 4095 bytes\n");
        }
    }
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"f.png"});
}

TEST(Explode, SheetsBeyondWhatARectangleAddressesAreRefused) {
    // SDL 1.2 makes no surface 16384 or more pixels wide, so only a tall sheet gets this far.
    for (auto [w, h] : {std::pair{2, 32768}, std::pair{1, 65535}}) {
        TempDir dir;
        write_png_indexed(dir / "huge.png", Image(w, h, kMarker));
        RunResult r = explode(dir / "huge.png", dir.path);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Cannot explode " + (dir / "huge.png") + ": the sheet is " +
                             std::to_string(w) + "x" + std::to_string(h) +
                             " pixels, more than 32767 in one direction\n");
        EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"huge.png"});
    }
}

}  // namespace
