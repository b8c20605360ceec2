// glue_font as a user runs it: the layout of decoded sheets, the order in which glyph files are
// read, glyph files in every image form, full sheets, failures and the round trip through
// explode_font.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"
#include "support/sheet.h"

namespace {

const std::string kGlue = GLUE_FONT_BIN;
const std::string kExplode = EXPLODE_FONT_BIN;
constexpr int kWidth = 1024, kHeight = 512;

struct Size {
    int w, h;
};

// Where a glyph is expected on the sheet.
struct Spot {
    int x, y;
};

struct MarkerRun {
    int line, from, to;  // columns from..to inclusive
};

// A sheet drawn by hand: glyph pixels, a right and a bottom marker for each glyph, then the
// marker runs, then the row lines over everything.
Image expected_sheet(const std::vector<Image>& glyphs, const std::vector<Spot>& spots,
                     const std::vector<MarkerRun>& runs, const std::vector<int>& row_lines) {
    Image sheet(kWidth, kHeight, kBackground);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const Image& g = glyphs[i];
        const Spot s = spots[i];
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) sheet.at(s.x + x, s.y + y) = g.at(x, y);
        if (s.x + g.width < kWidth) sheet.at(s.x + g.width, s.y) = kMarker;
        if (s.y + g.height < kHeight) sheet.at(s.x, s.y + g.height) = kMarker;
    }
    for (const MarkerRun& r : runs)
        for (int x = r.from; x <= r.to; ++x) sheet.at(x, r.line) = kMarker;
    for (int line : row_lines)
        for (int x = 0; x < kWidth; ++x) sheet.at(x, line) = kRowLine;
    return sheet;
}

std::vector<Image> glyphs_of(const std::vector<Size>& sizes, bool alpha) {
    std::vector<Image> glyphs;
    for (size_t i = 0; i < sizes.size(); ++i)
        glyphs.push_back(test_glyph(sizes[i].w, sizes[i].h, int(i) + 1, alpha));
    return glyphs;
}

// A directory of glyph files for codes 33 onward, and a place for the sheet.
struct GlyphDir {
    TempDir dir;
    std::string glyphs = dir / "glyphs";
    std::string font = dir / "font.png";
    GlyphDir() { mkdir(glyphs.c_str(), 0755); }
    std::string path(int code) const { return glyphs + "/" + glyph_name("font.png", code); }
    void write(const std::vector<Image>& images) const {
        for (size_t i = 0; i < images.size(); ++i) write_png_rgba(path(33 + int(i)), images[i]);
    }
};

RunResult glue(const std::string& font, const std::string& glyphs, const RunOptions& o = {}) {
    return run_program({kGlue, font, glyphs}, o);
}

std::string gluing_line(const GlyphDir& d) {
    return "Gluing characters in " + d.glyphs + " to create font " + d.font + "\n";
}

void expect_sheet(const std::string& path, const Image& expected) {
    DecodedPng png = read_png(path);
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png.bit_depth, 8);
    ASSERT_EQ(png.image.width, kWidth);
    ASSERT_EQ(png.image.height, kHeight);
    // Compare pixel by pixel so a failure names the first place that differs.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (png.image.at(x, y) != expected.at(x, y)) {
                ADD_FAILURE() << "first difference at " << x << "," << y << ": got "
                              << png.image.at(x, y) << ", expected " << expected.at(x, y);
                return;
            }
}

struct LayoutCase {
    const char* name;
    std::vector<Size> sizes;
    std::vector<Spot> spots;
    std::vector<MarkerRun> runs;
    std::vector<int> row_lines;
};

std::vector<LayoutCase> layout_cases() {
    std::vector<LayoutCase> cases;
    {
        // Nine tall glyphs and twelve short ones: three rows, the first two closed by a glyph
        // that did not fit.
        LayoutCase c{
            "nine_tall_twelve_short", {}, {}, {{0, 1010, 1023}, {31, 1010, 1023}}, {30, 41}};
        for (int i = 0; i < 9; ++i) c.sizes.push_back({100, 30});
        for (int i = 0; i < 12; ++i) c.sizes.push_back({100, 10});
        for (int i = 0; i < 10; ++i) c.spots.push_back({101 * i, 0});
        for (int i = 0; i < 10; ++i) c.spots.push_back({101 * i, 31});
        c.spots.push_back({0, 42});
        cases.push_back(c);
    }
    // x + w = 1023: the right marker takes the last column and the row closes right after it,
    // with no marker run; the next row starts with row height 0.
    cases.push_back(
        {"exact_fit", {{1000, 5}, {22, 3}, {10, 4}}, {{0, 0}, {1001, 0}, {0, 6}}, {}, {5}});
    // x + w = 1024: the glyph goes to the next row and the rest of the top line takes markers.
    cases.push_back({"one_column_over",
                     {{1000, 5}, {23, 3}, {10, 4}},
                     {{0, 0}, {0, 6}, {24, 6}},
                     {{0, 1001, 1023}},
                     {5}});
    // A glyph whose last line is the sheet's last line still fits; its bottom marker is dropped.
    cases.push_back({"down_to_the_last_line",
                     {{1000, 100}, {30, 411}},
                     {{0, 0}, {0, 101}},
                     {{0, 1001, 1023}},
                     {100}});
    cases.push_back({"widest_glyph", {{1023, 2}}, {{0, 0}}, {}, {2}});
    cases.push_back({"one_glyph_last_row_open", {{3, 4}}, {{0, 0}}, {}, {}});
    return cases;
}

TEST(GlueLayout, GlyphsMarkersAndRowLinesWhereTheyBelong) {
    for (const LayoutCase& c : layout_cases()) {
        SCOPED_TRACE(c.name);
        GlyphDir d;
        std::vector<Image> glyphs = glyphs_of(c.sizes, true);
        d.write(glyphs);
        RunResult r = glue(d.font, d.glyphs);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out,
                  gluing_line(d) + "Glued " + std::to_string(glyphs.size()) + " characters\n");
        EXPECT_EQ(r.err, "Could not load " + d.path(33 + int(glyphs.size())) + ": Couldn't open " +
                             d.path(33 + int(glyphs.size())) + "\n");
        expect_sheet(d.font, expected_sheet(glyphs, c.spots, c.runs, c.row_lines));
    }
}

using Form = PngForm;

class GlueForms : public ::testing::TestWithParam<Form> {};

// Glyph files of each form land unblended: partial alpha as it is, images without alpha opaque,
// a paletted image's transparent entry as transparent black.
TEST_P(GlueForms, GlyphPixelsLandAsTheImageHoldsThem) {
    const Form form = GetParam();
    GlyphDir d;
    std::vector<Image> files, landed;
    for (int i = 0; i < 3; ++i) {
        Image g = test_glyph(5 + i, 4 + 2 * i, i + 3, form == Form::kRgba, form != Form::kRgba);
        Image expected = form == Form::kRgba ? g : opaque(g);
        if (form == Form::kKeyedPalette) {
            // A transparent frame around an opaque middle, as an editor exports it.
            for (int y = 0; y < g.height; ++y)
                for (int x = 0; x < g.width; ++x)
                    if (x == 0 || y == 0 || x == g.width - 1 || y == g.height - 1)
                        g.at(x, y) = expected.at(x, y) = kBackground;
        }
        // The hidden colour is one the glyph also uses opaque, which must stay.
        write_png_as(d.path(33 + i), g, form, g.at(1, 1));
        landed.push_back(expected);
    }
    RunResult r = glue(d.font, d.glyphs);
    ASSERT_EQ(r.status, 0) << r.err;
    const int w0 = landed[0].width, w1 = landed[1].width;
    expect_sheet(d.font, expected_sheet(landed, {{0, 0}, {w0 + 1, 0}, {w0 + w1 + 2, 0}}, {}, {}));
}

INSTANTIATE_TEST_SUITE_P(Forms, GlueForms,
                         ::testing::Values(Form::kRgba, Form::kRgb, Form::kPalette,
                                           Form::kKeyedPalette),
                         [](const auto& info) { return std::string(png_form_name(info.param)); });

// A FIFO that nobody writes to: opening it blocks, so a run that opens it is killed by the
// runner's timeout instead of finishing.
void plant_trap(const std::string& path) {
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path;
}

TEST(GlueLoop, StopsAtTheFirstMissingCodeAndOpensNothingAfterIt) {
    GlyphDir d;
    std::vector<Image> glyphs = glyphs_of({{4, 3}, {2, 5}}, true);
    d.write(glyphs);
    plant_trap(d.path(36));
    write_png_rgba(d.path(37), test_glyph(3, 3, 9, true));
    RunOptions o;
    o.timeout_seconds = 10;
    RunResult r = glue(d.font, d.glyphs, o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, gluing_line(d) + "Glued 2 characters\n");
    EXPECT_EQ(r.err, "Could not load " + d.path(35) + ": Couldn't open " + d.path(35) + "\n");
    expect_sheet(d.font, expected_sheet(glyphs, {{0, 0}, {5, 0}}, {}, {}));
}

TEST(GlueLoop, NoFirstGlyphMeansNoSheet) {
    GlyphDir d;
    write_png_rgba(d.path(34), test_glyph(3, 3, 1, true));
    RunResult r = glue(d.font, d.glyphs);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              gluing_line(d) + "No characters were glued, therefore no output was produced.\n");
    EXPECT_EQ(r.err, "Could not load " + d.path(33) + ": Couldn't open " + d.path(33) + "\n");
    EXPECT_EQ(list_dir(d.dir.path), std::vector<std::string>{"glyphs"});
}

TEST(GlueLoop, GluesCodes33To254AndNeverOpens255) {
    GlyphDir d;
    std::vector<Size> sizes;
    for (int code = 33; code <= 254; ++code) sizes.push_back({1 + code % 9, 1 + code % 7});
    std::vector<Image> glyphs = glyphs_of(sizes, true);
    d.write(glyphs);
    plant_trap(d.path(255));
    RunOptions o;
    o.timeout_seconds = 20;
    RunResult r = glue(d.font, d.glyphs, o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, gluing_line(d) + "Glued 222 characters\n");
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(read_png(d.font).ok);
}

// Glued and exploded again under the same font file argument, random glyph sets come back
// file for file and pixel for pixel.
TEST(GlueRoundTrip, ExplodingTheGluedSheetGivesTheGlyphFilesBack) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random); };
        const int count = seed == 1 ? 222 : pick(1, 222);
        const bool alpha = seed % 2 == 1;
        std::vector<Image> glyphs;
        for (int i = 0; i < count; ++i)
            glyphs.push_back(test_glyph(pick(1, 40), pick(1, 30), pick(0, 1000), alpha));

        GlyphDir d;
        for (int i = 0; i < count; ++i)
            (alpha ? write_png_rgba : write_png_rgb)(d.path(33 + i), glyphs[i]);
        RunResult r = glue(d.font, d.glyphs);
        ASSERT_EQ(r.status, 0) << r.err;

        const std::string again = d.dir / "again";
        mkdir(again.c_str(), 0755);
        r = run_program({kExplode, d.font, again});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) names.push_back(glyph_name("font.png", 33 + i));
        ASSERT_EQ(list_dir(again), names);
        for (int i = 0; i < count; ++i) {
            DecodedPng png = read_png(again + "/" + names[i]);
            ASSERT_TRUE(png.ok) << png.error;
            ASSERT_EQ(png.image, alpha ? glyphs[i] : opaque(glyphs[i])) << names[i];
        }
    }
}

TEST(GlueFull, AGlyphThatDoesNotFitMeansNoSheetAndStatus1) {
    struct Case {
        const char* name;
        std::vector<Size> sizes;
        std::string message;
    };
    std::vector<Case> cases;
    {
        // Ten 100x100 glyphs to a row: five rows fill lines 0 to 504, the sixth would end at 605.
        std::vector<Size> many(60, Size{100, 100});
        cases.push_back({"rows_past_the_bottom", many,
                         "The sheet is full: character 83 (100x100 pixels) does not fit on the "
                         "1024x512 sheet; no sheet was written\n"});
    }
    cases.push_back({"wider_than_a_row",
                     {{5, 5}, {1024, 3}},
                     "The sheet is full: character 34 (1024x3 pixels) does not fit on the "
                     "1024x512 sheet; no sheet was written\n"});
    cases.push_back({"taller_than_the_sheet",
                     {{10, 513}},
                     "The sheet is full: character 33 (10x513 pixels) does not fit on the "
                     "1024x512 sheet; no sheet was written\n"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlyphDir d;
        d.write(glyphs_of(c.sizes, true));
        write_bytes(d.font, "the previous sheet");
        RunResult r = glue(d.font, d.glyphs);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, gluing_line(d));
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(read_bytes(d.font), "the previous sheet");
        EXPECT_EQ(list_dir(d.dir.path), (std::vector<std::string>{"font.png", "glyphs"}));
    }
}

TEST(Glue, SheetThatCannotBeWrittenIsStatus1) {
    GlyphDir d;
    d.write(glyphs_of({{3, 3}}, true));
    const std::string font = d.dir / "missing/font.png";
    RunResult r = glue(font, d.glyphs);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Gluing characters in " + d.glyphs + " to create font " + font +
                         "\nGlued 1 characters\n");
    EXPECT_NE(r.err.find("fopen error: No such file or directory\n"), std::string::npos) << r.err;
}

TEST(Glue, GlyphPathsLongerThanTheBufferAreRefusedBeforeAnything) {
    TempDir dir;
    // "<dir>/f.png_033.png" is 4096 bytes long with this directory: one more than fits.
    const std::string font = "f.png";
    const std::string glyphs(4096 - 14, 'd');
    RunOptions o;
    o.cwd = dir.path;
    RunResult r = glue(font, glyphs, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Glyph file paths in the input directory would be longer than 4095 bytes\n");
    EXPECT_TRUE(list_dir(dir.path).empty());
}

RunOptions without_env(std::vector<std::string> names) {
    RunOptions o;
    o.unset_env = std::move(names);
    return o;
}

RunOptions with_env(const std::string& name, const std::string& value) {
    RunOptions o;
    o.set_env = {{name, value}};
    return o;
}

TEST(Glue, StartUpAsUsersMeetIt) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the program's path
        RunOptions options;
        int status;
        std::string out, err;
    };
    TempDir dir;
    const std::string glyphs = dir.path;
    const std::string font = dir / "f.png";
    const std::string gluing = "Gluing characters in " + glyphs + " to create font " + font + "\n";
    const std::string nothing = "No characters were glued, therefore no output was produced.\n";
    const std::string missing =
        "Could not load " + glyphs + "/f.png_033.png: Couldn't open " + glyphs + "/f.png_033.png\n";
    const Case cases[] = {
        {"no_arguments", {}, {}, 1, "", "Usage: " + kGlue + " <font_file> <input_path>\n"},
        {"three_arguments",
         {font, glyphs, "x"},
         {},
         1,
         "",
         "Usage: " + kGlue + " <font_file> <input_path>\n"},
        // No display and no terminal: the tool must still run.
        {"headless",
         {font, glyphs},
         without_env({"DISPLAY", "TERM", "SDL_VIDEODRIVER"}),
         0,
         gluing + nothing,
         missing},
        {"user_driver_that_fails",
         {font, glyphs},
         with_env("SDL_VIDEODRIVER", "no_such_driver"),
         1,
         "",
         "Couldn't initialize SDL: No available video device\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv{kGlue};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        RunResult r = run_program(argv, c.options);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

}  // namespace
