// Bad input and faults for all three programs, as one table: each row sets up a scratch
// directory, runs a program and checks its status, the key words of its message, the files
// left afterwards, and that every file there before is still there byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"
#include "support/sheet.h"

namespace {

using namespace std::string_literals;

// What a row puts at a path in its scratch directory.
enum class Put {
    kEmpty,         // an empty file
    kText,          // a short text file
    kTruncatedPng,  // the first 60 bytes of a valid PNG
    kHugePng,       // a PNG whose header claims 100000 x 100000 pixels
    kDirectory,     // an empty directory
    kPrevious,      // an earlier result, which must survive
    kSheet,         // a valid font sheet of two glyphs, the first 24x24
    kGlyph,         // a valid 24x24 glyph file
    kAtlas,         // a valid 32x32 RGBA atlas image
};

struct Placed {
    std::string path;  // relative to the scratch directory
    Put what;
};

// One row. In `args` and `err_words`, "$D" stands for the scratch directory and "$LONG" for a
// path of 5000 characters inside it.
struct BadInput {
    const char* name;
    std::string program;
    std::vector<Placed> files;
    std::string index;  // written as "index.txt" when not empty
    std::vector<std::string> args;
    int status;
    std::vector<std::string> err_words;  // each must appear in standard error
    std::vector<std::string> after;      // everything under the scratch directory afterwards
    long file_size_limit = -1;
};

const std::string kExplodeFont = EXPLODE_FONT_BIN;
const std::string kGlueFont = GLUE_FONT_BIN;
const std::string kExplodeAtlas = EXPLODE_ATLAS_BIN;

std::string expand(std::string s, const std::string& dir) {
    const std::string long_path = dir + "/" + std::string(5000 - dir.size() - 1, 'a');
    for (auto [key, value] : {std::pair<std::string, std::string>{"$LONG", long_path}, {"$D", dir}})
        for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), value);
    return s;
}

void put_be32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char(v >> shift);
}

void put_chunk(std::string& out, const char* type, const std::string& data) {
    put_be32(out, uint32_t(data.size()));
    const std::string body = type + data;
    out += body;
    put_be32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// A well-formed PNG header for 100000 x 100000 RGBA pixels, followed by a few bytes of image data.
std::string huge_png() {
    std::string ihdr;
    put_be32(ihdr, 100000);
    put_be32(ihdr, 100000);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    put_chunk(png, "IHDR", ihdr);
    uLongf size = compressBound(4000);
    std::string idat(size, '\0');
    const std::string zeros(4000, '\0');
    compress(reinterpret_cast<Bytef*>(idat.data()), &size,
             reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    idat.resize(size);
    put_chunk(png, "IDAT", idat);
    put_chunk(png, "IEND", "");
    return png;
}

void place(const std::string& path, Put what) {
    switch (what) {
        case Put::kEmpty:
            write_bytes(path, "");
            break;
        case Put::kText:
            write_bytes(path, "not a picture\n");
            break;
        case Put::kTruncatedPng: {
            const std::string scratch = path + ".whole";
            write_png_rgba(scratch, test_glyph(24, 24, 1, true));
            write_bytes(path, read_bytes(scratch).substr(0, 60));
            std::filesystem::remove(scratch);
            break;
        }
        case Put::kHugePng:
            write_bytes(path, huge_png());
            break;
        case Put::kDirectory:
            std::filesystem::create_directories(path);
            break;
        case Put::kPrevious:
            write_bytes(path, "an earlier result, to be kept\n");
            break;
        case Put::kSheet:
            write_png_rgba(
                path,
                build_sheet({{test_glyph(24, 24, 1, true), test_glyph(3, 2, 2, true)}}).image);
            break;
        case Put::kGlyph:
            write_png_rgba(path, test_glyph(24, 24, 3, true));
            break;
        case Put::kAtlas:
            write_png_rgba(path, test_glyph(32, 32, 4, true));
            break;
    }
}

// The bytes of every regular file under `root`, by relative path.
std::map<std::string, std::string> contents(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const std::string& name : list_tree(root))
        if (std::filesystem::is_regular_file(root + "/" + name))
            files[name] = read_bytes(root + "/" + name);
    return files;
}

const std::string kIndex = "* a.png size 32 32\ne.png 0 0 24 24 off 1 2\n";
const std::vector<std::string> kAtlasArgs = {"$D/index.txt", "$D/img", "$D/out"};
const std::vector<std::string> kAtlasInputs = {"img", "img/a.png", "index.txt", "out"};
const std::vector<std::string> kGlyphs = {"g", "g/f.png_033.png", "g/f.png_034.png"};

// The image files that do not load, each in the place of a font sheet, a glyph file and an atlas.
const std::vector<std::pair<Put, std::string>> kUnloadable = {
    {Put::kEmpty, "Unsupported image format"},
    {Put::kText, "Unsupported image format"},
    {Put::kTruncatedPng, "Error reading the PNG file"},
    {Put::kDirectory, ""},
    {Put::kHugePng, "Out of memory"},
};

std::vector<BadInput> table() {
    std::vector<BadInput> rows;
    for (const auto& [what, reason] : kUnloadable) {
        rows.push_back({"font sheet that does not load",
                        kExplodeFont,
                        {{"sheet.png", what}, {"out", Put::kDirectory}},
                        "",
                        {"$D/sheet.png", "$D/out"},
                        1,
                        {"Loading font \"$D/sheet.png\":" + reason},
                        {"out", "sheet.png"}});
        rows.push_back({"glyph file that does not load",
                        kGlueFont,
                        {{"g/f.png_033.png", what}, {"g/f.png_034.png", Put::kGlyph}},
                        "",
                        {"$D/f.png", "$D/g"},
                        1,
                        {"Could not load $D/g/f.png_033.png: " + reason,
                         "Glyph file $D/g/f.png_033.png is there but could not be loaded; no sheet "
                         "was written"},
                        kGlyphs});
        rows.push_back({"atlas image that does not load",
                        kExplodeAtlas,
                        {{"img/a.png", what}, {"out", Put::kDirectory}},
                        kIndex,
                        kAtlasArgs,
                        1,
                        {"Could not load atlas image: $D/img/a.png"},
                        kAtlasInputs});
    }

    const std::vector<BadInput> others = {
        // explode_font
        {"sheet output directory missing",
         kExplodeFont,
         {{"sheet.png", Put::kSheet}},
         "",
         {"$D/sheet.png", "$D/missing"},
         1,
         {"Output directory $D/missing: No such file or directory"},
         {"sheet.png"}},
        {"sheet output directory is a file",
         kExplodeFont,
         {{"sheet.png", Put::kSheet}, {"out", Put::kText}},
         "",
         {"$D/sheet.png", "$D/out"},
         1,
         {"Output directory $D/out: Not a directory"},
         {"out", "sheet.png"}},
        {"glyph file cannot be completed",
         kExplodeFont,
         {{"sheet.png", Put::kSheet},
          {"out", Put::kDirectory},
          {"out/sheet.png_033.png", Put::kPrevious}},
         "",
         {"$D/sheet.png", "$D/out"},
         255,
         {"libpng: error: Write Error: File too large"},
         {"out", "out/sheet.png_033.png", "sheet.png"},
         300},
        {"new glyph file cannot be completed",
         kExplodeFont,
         {{"sheet.png", Put::kSheet}, {"out", Put::kDirectory}},
         "",
         {"$D/sheet.png", "$D/out"},
         255,
         {"libpng: error: Write Error: File too large"},
         {"out", "sheet.png"},
         300},
        {"sheet path of 5000 characters",
         kExplodeFont,
         {{"out", Put::kDirectory}},
         "",
         {"$LONG", "$D/out"},
         1,
         {"Glyph file paths in the output directory would be longer than 4095 bytes"},
         {"out"}},
        {"output directory of 5000 characters",
         kExplodeFont,
         {{"sheet.png", Put::kSheet}},
         "",
         {"$D/sheet.png", "$LONG"},
         1,
         {"Glyph file paths in the output directory would be longer than 4095 bytes"},
         {"sheet.png"}},

        // glue_font
        {"glyph directory is a file",
         kGlueFont,
         {{"g", Put::kText}},
         "",
         {"$D/f.png", "$D/g"},
         1,
         {"Input directory $D/g: Not a directory"},
         {"g"}},
        {"glyph directory missing",
         kGlueFont,
         {},
         "",
         {"$D/f.png", "$D/g"},
         1,
         {"Input directory $D/g: No such file or directory"},
         {}},
        {"sheet goes to a missing directory",
         kGlueFont,
         {{"g/f.png_033.png", Put::kGlyph}, {"g/f.png_034.png", Put::kGlyph}},
         "",
         {"$D/missing/f.png", "$D/g"},
         1,
         {"fopen error: No such file or directory"},
         kGlyphs},
        {"sheet path is a directory",
         kGlueFont,
         {{"g/f.png_033.png", Put::kGlyph},
          {"g/f.png_034.png", Put::kGlyph},
          {"f.png", Put::kDirectory}},
         "",
         {"$D/f.png", "$D/g"},
         1,
         {"fopen error: Is a directory"},
         {"f.png", "g", "g/f.png_033.png", "g/f.png_034.png"}},
        {"sheet cannot be completed",
         kGlueFont,
         {{"g/f.png_033.png", Put::kGlyph},
          {"g/f.png_034.png", Put::kGlyph},
          {"f.png", Put::kPrevious}},
         "",
         {"$D/f.png", "$D/g"},
         255,
         {"libpng: error: Write Error: File too large"},
         {"f.png", "g", "g/f.png_033.png", "g/f.png_034.png"},
         300},
        {"sheet path of 5000 characters",
         kGlueFont,
         {{"g/f.png_033.png", Put::kGlyph}, {"g/f.png_034.png", Put::kGlyph}},
         "",
         {"$LONG", "$D/g"},
         1,
         {"Glyph file paths in the input directory would be longer than 4095 bytes"},
         kGlyphs},
        {"glyph directory of 5000 characters",
         kGlueFont,
         {},
         "",
         {"$D/f.png", "$LONG"},
         1,
         {"Glyph file paths in the input directory would be longer than 4095 bytes"},
         {}},

        // explode_atlas
        {"index is a directory",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}, {"index.txt", Put::kDirectory}},
         "",
         kAtlasArgs,
         1,
         {"Could not read file: $D/index.txt"},
         kAtlasInputs},
        {"index missing",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "",
         kAtlasArgs,
         1,
         {"Could not open file: $D/index.txt"},
         {"img", "img/a.png", "out"}},
        {"index is a truncated PNG",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}, {"index.txt", Put::kTruncatedPng}},
         "",
         kAtlasArgs,
         1,
         {"$D/index.txt:1: expected an image header line"},
         kAtlasInputs},
        {"atlas directory is a file",
         kExplodeAtlas,
         {{"img", Put::kText}, {"out", Put::kDirectory}},
         kIndex,
         kAtlasArgs,
         1,
         {"Atlas directory $D/img: Not a directory"},
         {"img", "index.txt", "out"}},
        {"atlas output directory missing",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}},
         kIndex,
         {"$D/index.txt", "$D/img", "$D/missing"},
         1,
         {"Output directory $D/missing: No such file or directory"},
         {"img", "img/a.png", "index.txt"}},
        {"atlas output directory is a file",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kEmpty}},
         kIndex,
         kAtlasArgs,
         1,
         {"Output directory $D/out: Not a directory"},
         kAtlasInputs},
        {"entry file cannot be completed",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas},
          {"out/e.png", Put::kPrevious},
          {"out/e.offset", Put::kPrevious}},
         kIndex,
         kAtlasArgs,
         255,
         {"libpng: error: Write Error: File too large"},
         {"img", "img/a.png", "index.txt", "out", "out/e.offset", "out/e.png"},
         300},
        {"new entry file cannot be completed",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         kIndex,
         kAtlasArgs,
         255,
         {"libpng: error: Write Error: File too large"},
         kAtlasInputs,
         300},
        {"entry name of 1 MB",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "* a.png size 32 32\n" + std::string(1 << 20, 'n') + " 0 0 2 2\nok.png 0 0 1 1\n",
         kAtlasArgs,
         1,
         {"$D/index.txt:2: entry nnnn", "not written: its file paths are longer than 4095 bytes",
          "1 entry of $D/index.txt could not be written"},
         {"img", "img/a.png", "index.txt", "out", "out/ok.offset", "out/ok.png"}},
        {"entry name of 5000 characters",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "* a.png size 32 32\n" + std::string(5000, 'n') + " 0 0 2 2\n",
         kAtlasArgs,
         1,
         {"$D/index.txt:2: entry nnnn", "not written: its file paths are longer than 4095 bytes"},
         kAtlasInputs},
        {"blank line of 1 MB and numbers beyond 32 bits",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "* a.png size 32 32\n" + std::string(1 << 20, ' ') +
             "\nwide.png 0 0 4294967297 1\nlow.png -2147483649 0 1 1\n"
             "far.png 0 0 1 1 off 99999999999999999999 0\nok.png 0 0 1 1\n",
         kAtlasArgs,
         1,
         {"$D/index.txt:3: skipped entry wide.png: a number on it does not fit in 32 bits",
          "$D/index.txt:4: skipped entry low.png: a number on it does not fit in 32 bits",
          "$D/index.txt:5: skipped entry far.png: a number on it does not fit in 32 bits"},
         {"img", "img/a.png", "index.txt", "out", "out/ok.offset", "out/ok.png"}},
        {"zero bytes inside the index",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "* a.png size 32 32\nok.png 0 0 1 1\nlost.png 0 0\0 1 1\nafter.png 0 0 1 1\n"s,
         kAtlasArgs,
         1,
         {"$D/index.txt:3: skipped entry lost.png: it needs x, y, w and h on its line",
          "$D/index.txt:3: the index holds a zero byte; the rest of the index was not read"},
         {"img", "img/a.png", "index.txt", "out", "out/ok.offset", "out/ok.png"}},
        {"index path of 5000 characters",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}, {"out", Put::kDirectory}},
         "",
         {"$LONG", "$D/img", "$D/out"},
         1,
         {"Could not open file: $D/aaaa"},
         {"img", "img/a.png", "out"}},
        {"atlas directory of 5000 characters",
         kExplodeAtlas,
         {{"out", Put::kDirectory}},
         kIndex,
         {"$D/index.txt", "$LONG", "$D/out"},
         1,
         {"Directory paths must be shorter than 4095 bytes"},
         {"index.txt", "out"}},
        {"output directory of 5000 characters",
         kExplodeAtlas,
         {{"img/a.png", Put::kAtlas}},
         kIndex,
         {"$D/index.txt", "$D/img", "$LONG"},
         1,
         {"Directory paths must be shorter than 4095 bytes"},
         {"img", "img/a.png", "index.txt"}},
    };
    rows.insert(rows.end(), others.begin(), others.end());
    return rows;
}

TEST(BadInput, EveryProgramRefusesClearlyAndKeepsWhatWasThere) {
    for (const BadInput& row : table()) {
        const std::string program = std::filesystem::path(row.program).filename();
        SCOPED_TRACE(program + ": " + row.name);
        TempDir dir;
        for (const Placed& f : row.files) {
            std::filesystem::create_directories(std::filesystem::path(dir / f.path).parent_path());
            place(dir / f.path, f.what);
        }
        if (!row.index.empty()) write_bytes(dir / "index.txt", row.index);
        const auto before = contents(dir.path);

        std::vector<std::string> argv{row.program};
        for (const std::string& a : row.args) argv.push_back(expand(a, dir.path));
        RunOptions options;
        options.file_size_limit = row.file_size_limit;
        const RunResult r = run_program(argv, options);

        EXPECT_EQ(r.status, row.status) << r.err;
        for (const std::string& words : row.err_words)
            EXPECT_NE(r.err.find(expand(words, dir.path)), std::string::npos)
                << "missing \"" << expand(words, dir.path).substr(0, 200) << "\" in:\n"
                << r.err.substr(0, 2000);
        EXPECT_EQ(list_tree(dir.path), row.after);
        const auto now = contents(dir.path);
        for (const auto& [name, bytes] : before) {
            auto it = now.find(name);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << name << " changed or went";
        }
    }
}

}  // namespace
