// The shared PNG writer: every surface layout comes out as the picture it holds, and a failed
// write never damages what was at the target.
#include "png_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "pending_file.h"
#include "support/png_io.h"
#include "support/process.h"
#include "support/surfaces.h"

namespace {

// The mask selecting byte `byte` (in memory order) of a pixel of `bytes` bytes on this host.
Uint32 byte_mask(int byte, int bytes) {
    int shift = SDL_BYTEORDER == SDL_LIL_ENDIAN ? 8 * byte : 8 * (bytes - 1 - byte);
    return Uint32{0xFF} << shift;
}

// `picture` as a surface of `format` reports it through SDL_GetRGBA: exactly, for 8-bit channels;
// with the low bits rounded the way SDL widens them, for narrower ones; opaque without alpha.
Image as_reported(const Image& picture, SDL_PixelFormat* format) {
    Image out = picture;
    for (Rgba& c : out.pixels)
        SDL_GetRGBA(SDL_MapRGBA(format, c.r, c.g, c.b, c.a), format, &c.r, &c.g, &c.b, &c.a);
    return out;
}

struct LayoutCase {
    const char* name;
    int depth;
    Uint32 rmask, gmask, bmask, amask;
    int colour_type;  // what the file must declare
};

// Memory orders are given byte by byte, so the table holds on either byte order.
const LayoutCase kLayouts[] = {
    {"glyph_format_BGRA", 32, byte_mask(2, 4), byte_mask(1, 4), byte_mask(0, 4), byte_mask(3, 4),
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"RGBA", 32, byte_mask(0, 4), byte_mask(1, 4), byte_mask(2, 4), byte_mask(3, 4),
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"RGB", 24, byte_mask(0, 3), byte_mask(1, 3), byte_mask(2, 3), 0, PNG_COLOR_TYPE_RGB},
    {"BGR", 24, byte_mask(2, 3), byte_mask(1, 3), byte_mask(0, 3), 0, PNG_COLOR_TYPE_RGB},
    {"BGRX_no_alpha_mask", 32, byte_mask(2, 4), byte_mask(1, 4), byte_mask(0, 4), 0,
     PNG_COLOR_TYPE_RGB},
    {"RGBX_no_alpha_mask", 32, byte_mask(0, 4), byte_mask(1, 4), byte_mask(2, 4), 0,
     PNG_COLOR_TYPE_RGB},
    {"XRGB_no_alpha_mask", 32, byte_mask(1, 4), byte_mask(2, 4), byte_mask(3, 4), 0,
     PNG_COLOR_TYPE_RGB},
    {"XBGR_no_alpha_mask", 32, byte_mask(3, 4), byte_mask(2, 4), byte_mask(1, 4), 0,
     PNG_COLOR_TYPE_RGB},
    {"ARGB", 32, byte_mask(1, 4), byte_mask(2, 4), byte_mask(3, 4), byte_mask(0, 4),
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"ABGR", 32, byte_mask(3, 4), byte_mask(2, 4), byte_mask(1, 4), byte_mask(0, 4),
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"RGB565", 16, 0xF800, 0x07E0, 0x001F, 0, PNG_COLOR_TYPE_RGB},
    {"RGB555", 15, 0x7C00, 0x03E0, 0x001F, 0, PNG_COLOR_TYPE_RGB},
    {"ARGB4444", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, PNG_COLOR_TYPE_RGB_ALPHA},
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class WriterLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(WriterLayout, DecodesToThePixelsTheSurfaceHolds) {
    const LayoutCase& c = GetParam();
    const Image picture = asymmetric_image(5, 3, c.amask != 0);
    SurfacePtr surface = surface_from_image(picture, c.depth, c.rmask, c.gmask, c.bmask, c.amask);
    TempDir dir;
    ASSERT_EQ(png_save_surface((dir / "out.png").c_str(), surface.get()), 0);

    DecodedPng png = read_png(dir / "out.png");
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colour_type, c.colour_type);
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
    EXPECT_EQ(png.image, as_reported(picture, surface->format));
    if (c.depth >= 24) {
        EXPECT_EQ(png.image, c.amask ? picture : opaque(picture));
    }
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"out.png"});
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Writer, GlyphFormatRedWithHalfAlphaReadsBackExactly) {
    Image red(1, 1, {255, 0, 0, 128});
    SurfacePtr s = surface_from_image(red, 32, byte_mask(2, 4), byte_mask(1, 4), byte_mask(0, 4),
                                      byte_mask(3, 4));
    TempDir dir;
    ASSERT_EQ(png_save_surface((dir / "red.png").c_str(), s.get()), 0);
    DecodedPng png = read_png(dir / "red.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(png.image.at(0, 0), (Rgba{255, 0, 0, 128}));
}

// Paletted surfaces of every depth come out as truecolour with their palette's colours.
TEST(Writer, PaletteSurfacesOfEveryDepth) {
    for (int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        // An "F" in two colours for 1 bit; the asymmetric picture's 15 colours otherwise.
        Image picture(5, 3, {200, 16, 32, 255});
        if (depth == 1) {
            for (int x = 0; x < 4; ++x) picture.at(x, 0) = {16, 48, 224, 255};
            picture.at(0, 1) = picture.at(1, 1) = picture.at(0, 2) = {16, 48, 224, 255};
        } else if (depth == 2) {
            picture.at(4, 0) = {0, 0, 0, 255};
            picture.at(0, 2) = {255, 255, 255, 255};
            picture.at(2, 1) = {16, 48, 224, 255};
        } else {
            picture = asymmetric_image(5, 3, false);
        }
        SurfacePtr s = palette_surface_from_image(picture, depth);
        TempDir dir;
        ASSERT_EQ(png_save_surface((dir / "p.png").c_str(), s.get()), 0);
        DecodedPng png = read_png(dir / "p.png");
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(png.image, picture);
    }
}

// A colour key is transparency the surface shows: keyed pixels become transparent black.
TEST(Writer, ColourKeyBecomesTransparency) {
    Image picture = asymmetric_image(5, 3, false);
    const Rgba key = picture.at(3, 1);
    for (bool paletted : {true, false}) {
        SCOPED_TRACE(paletted ? "paletted" : "24-bit");
        SurfacePtr s = paletted ? palette_surface_from_image(picture, 8)
                                : surface_from_image(picture, 24, byte_mask(0, 3), byte_mask(1, 3),
                                                     byte_mask(2, 3), 0);
        SDL_SetColorKey(s.get(), SDL_SRCCOLORKEY, SDL_MapRGB(s->format, key.r, key.g, key.b));
        TempDir dir;
        ASSERT_EQ(png_save_surface((dir / "k.png").c_str(), s.get()), 0);
        DecodedPng png = read_png(dir / "k.png");
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
        Image expected = picture;
        expected.at(3, 1) = {0, 0, 0, 0};
        EXPECT_EQ(png.image, expected);
    }
}

// Rows further apart than their pixels: the padding never reaches the file, and the last row
// is read no further than its own pixels (the buffer ends right there).
TEST(Writer, PaddedPitchDirectAndConverted) {
    struct Case {
        const char* name;
        int depth, bytes;
        Uint32 r, g, b, a;
    };
    const Case cases[] = {
        {"RGB direct", 24, 3, byte_mask(0, 3), byte_mask(1, 3), byte_mask(2, 3), 0},
        {"BGRA direct", 32, 4, byte_mask(2, 4), byte_mask(1, 4), byte_mask(0, 4), byte_mask(3, 4)},
        {"RGB565 converted", 16, 2, 0xF800, 0x07E0, 0x001F, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image picture = asymmetric_image(5, 3, c.a != 0);
        const int pitch = 5 * c.bytes + 7;
        std::vector<Uint8> memory(pitch * 2 + 5 * c.bytes, 0xAB);
        SurfacePtr s(
            SDL_CreateRGBSurfaceFrom(memory.data(), 5, 3, c.depth, pitch, c.r, c.g, c.b, c.a));
        ASSERT_TRUE(s);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const Rgba& p = picture.at(x, y);
                store_pixel(s.get(), x, y, SDL_MapRGBA(s->format, p.r, p.g, p.b, p.a));
            }
        TempDir dir;
        ASSERT_EQ(png_save_surface((dir / "pad.png").c_str(), s.get()), 0);
        DecodedPng png = read_png(dir / "pad.png");
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.image, as_reported(picture, s->format));
    }
}

TEST(Writer, OneRowImage) {
    Image picture = asymmetric_image(7, 1, true);
    SurfacePtr s = surface_from_image(picture, 32, byte_mask(0, 4), byte_mask(1, 4),
                                      byte_mask(2, 4), byte_mask(3, 4));
    TempDir dir;
    ASSERT_EQ(png_save_surface((dir / "row.png").c_str(), s.get()), 0);
    EXPECT_EQ(read_png(dir / "row.png").image, picture);
}

SurfacePtr small_rgba() {
    return surface_from_image(asymmetric_image(5, 3, true), 32, byte_mask(0, 4), byte_mask(1, 4),
                              byte_mask(2, 4), byte_mask(3, 4));
}

TEST(WriterFailure, MissingDirectoryIsAnFopenErrorAndNoFile) {
    TempDir dir;
    SurfacePtr s = small_rgba();
    testing::internal::CaptureStderr();
    int result = png_save_surface((dir / "missing/out.png").c_str(), s.get());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "fopen error: No such file or directory\n");
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST(WriterFailure, ZeroWidthOrHeightIsRefusedBeforeAnyFileExists) {
    for (auto [w, h] : {std::pair{0, 3}, std::pair{4, 0}}) {
        SurfacePtr s(SDL_CreateRGBSurface(0, w, h, 32, byte_mask(0, 4), byte_mask(1, 4),
                                          byte_mask(2, 4), byte_mask(3, 4)));
        ASSERT_TRUE(s);
        TempDir dir;
        testing::internal::CaptureStderr();
        int result = png_save_surface((dir / "empty.png").c_str(), s.get());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, -1);
        EXPECT_EQ(err, "Cannot write " + (dir / "empty.png") + ": the image is " +
                           std::to_string(w) + "x" + std::to_string(h) +
                           " pixels, a PNG needs at least 1x1\n");
        EXPECT_TRUE(list_dir(dir.path).empty());
    }
}

TEST(WriterFailure, ExistingFileIsReplacedOnSuccessKeepingItsPermissions) {
    TempDir dir;
    const std::string target = dir / "sheet.png";
    write_bytes(target, "not a png at all");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    SurfacePtr s = small_rgba();
    ASSERT_EQ(png_save_surface(target.c_str(), s.get()), 0);
    EXPECT_EQ(read_png(target).image, asymmetric_image(5, 3, true));
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"sheet.png"});
}

TEST(WriterFailure, ReplacedFileKeepsItsOwnerWhenRunAsRoot) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file away";
    TempDir dir;
    const std::string target = dir / "sheet.png";
    write_bytes(target, "old");
    ASSERT_EQ(chown(target.c_str(), 4321, 8765), 0);
    SurfacePtr s = small_rgba();
    ASSERT_EQ(png_save_surface(target.c_str(), s.get()), 0);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
}

TEST(WriterFailure, NewFileGetsThePermissionsOfAPlainFopen) {
    for (mode_t mask : {022, 077, 002}) {
        TempDir dir;
        mode_t old = umask(mask);
        SurfacePtr s = small_rgba();
        int result = png_save_surface((dir / "new.png").c_str(), s.get());
        umask(old);
        ASSERT_EQ(result, 0);
        struct stat st;
        ASSERT_EQ(stat((dir / "new.png").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask) << "umask " << mask;
    }
}

TEST(WriterFailure, SymlinkKeepsPointingAtTheReplacedFile) {
    TempDir dir;
    write_bytes(dir / "real.png", "old");
    ASSERT_EQ(symlink("real.png", (dir / "link.png").c_str()), 0);
    SurfacePtr s = small_rgba();
    ASSERT_EQ(png_save_surface((dir / "link.png").c_str(), s.get()), 0);
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_png(dir / "real.png").image, asymmetric_image(5, 3, true));
    EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"link.png", "real.png"}));
}

TEST(WriterFailure, DeviceTargetIsWrittenInPlace) {
    SurfacePtr s = small_rgba();
    EXPECT_EQ(png_save_surface("/dev/null", s.get()), 0);
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// Noise compresses badly, so its PNG is far larger than the file size limit below.
SurfacePtr noise(int side) {
    Image picture(side, side);
    uint32_t state = 12345;
    for (Rgba& p : picture.pixels) {
        state = state * 1103515245 + 12345;
        p = {Uint8(state >> 24), Uint8(state >> 16), Uint8(state >> 8), 255};
    }
    return surface_from_image(picture, 32, byte_mask(0, 4), byte_mask(1, 4), byte_mask(2, 4),
                              byte_mask(3, 4));
}

TEST(WriterFailure, FailedWriteLeavesTheExistingFileByteForByte) {
    TempDir dir;
    const std::string target = dir / "sheet.png";
    const std::string before = "the user's precious sheet";
    write_bytes(target, before);
    for (int side : {256, 16}) {  // fails inside the image data, and at the final flush
        SCOPED_TRACE("side " + std::to_string(side));
        SurfacePtr s = noise(side);
        RunOptions limited;
        limited.file_size_limit = side == 256 ? 4096 : 100;
        RunResult r = run_function(
            [&] { return png_save_surface(target.c_str(), s.get()) == 0 ? 0 : 100; }, limited);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "libpng: error: Write Error: File too large\n");
        EXPECT_EQ(read_bytes(target), before);
        EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"sheet.png"});
    }
}

TEST(WriterFailure, FullDeviceEndsWithStatus255) {
    SurfacePtr s = small_rgba();
    RunResult r =
        run_function([&] { return png_save_surface("/dev/full", s.get()) == 0 ? 0 : 100; });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "libpng: error: Write Error: No space left on device\n");
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(PendingFileTest, NewFileWhoseNameIsTakenMeanwhileStillReplacesIt) {
    // The file was new when writing began; another process creates the name before it is done.
    TempDir dir;
    const std::string path = dir / "out.png";
    PendingFile file;
    ASSERT_TRUE(file.open(path.c_str()));
    ASSERT_GE(fputs("new contents", file.stream), 0);
    write_bytes(path, "taken meanwhile");
    ASSERT_TRUE(file.close_stream());
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read_bytes(path), "new contents");
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"out.png"});
}

TEST(PendingFileTest, UnfinishedNewFileLeavesNothing) {
    TempDir dir;
    {
        PendingFile file;
        ASSERT_TRUE(file.open((dir / "out.png").c_str()));
        fputs("half", file.stream);
    }
    EXPECT_TRUE(list_dir(dir.path).empty());
}

}  // namespace
