// The atlas index in-process, without images: what the walk hands on line by line, what it
// reports, and reading the index from files and pipes.
#include "atlas_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/png_io.h"
#include "support/process.h"

namespace {

// Walks `text` and records what the walk hands on, one line per call.
struct Recorded {
    std::vector<std::string> events;
    std::string err;
    int reported = 0;
};

Recorded walk(const std::string& text, int refuse_image_at_line = 0) {
    Recorded r;
    IndexVisitor visitor{
        [&](const ImageHeader& h) {
            std::string e = "open " + std::string(h.image) + " @" + std::to_string(h.line);
            if (h.has_size)
                e += " size " + std::to_string(h.width) + "x" + std::to_string(h.height);
            r.events.push_back(e);
            return h.line != refuse_image_at_line;
        },
        [&](const IndexEntry& e) {
            r.events.push_back("entry " + std::string(e.name) + " @" + std::to_string(e.line) +
                               " " + std::to_string(e.x) + " " + std::to_string(e.y) + " " +
                               std::to_string(e.w) + " " + std::to_string(e.h) + " off " +
                               std::to_string(e.offset_x) + " " + std::to_string(e.offset_y));
        },
        [&] { r.events.push_back("release"); }};
    // The walk stops at the first zero byte, so the copy keeps any that `text` holds.
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    testing::internal::CaptureStderr();
    r.reported = walk_index(buffer.data(), "atlas.txt", visitor);
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

using Events = std::vector<std::string>;

const char* const kWellFormed =
    "* sheet0.png size 256 256\n"
    "hero.png 0 0 32 48 off 2 -4\n"
    "coin.png 32 0 16 16 off 0 0\n"
    "* sheet1.png size 128 128\n"
    "tree.png 0 0 64 100 off -10 3\n";

const Events kWellFormedEvents{"open sheet0.png @1 size 256x256",
                               "entry hero.png @2 0 0 32 48 off 2 -4",
                               "entry coin.png @3 32 0 16 16 off 0 0",
                               "release",
                               "open sheet1.png @4 size 128x128",
                               "entry tree.png @5 0 0 64 100 off -10 3",
                               "release"};

struct WalkCase {
    const char* name;
    std::string text;
    Events events;
    std::string err;  // what the walk reports, all of it
    int reported;
};

std::vector<WalkCase> walk_cases() {
    const std::string blank_lines_text =
        "\n  \t\r\n* sheet0.png size 256 256\n\n"
        "hero.png 0 0 32 48 off 2 -4\n \n"
        "coin.png 32 0 16 16 off 0 0\n\t\n"
        "* sheet1.png size 128 128\n"
        "tree.png 0 0 64 100 off -10 3\n\n \n";
    std::string crlf;
    for (const char* c = kWellFormed; *c; ++c)
        crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    return {
        {"well_formed", kWellFormed, kWellFormedEvents, "", 0},
        {"crlf_line_ends", crlf, kWellFormedEvents, "", 0},
        {"blank_lines_anywhere",
         blank_lines_text,
         {"open sheet0.png @3 size 256x256", "entry hero.png @5 0 0 32 48 off 2 -4",
          "entry coin.png @7 32 0 16 16 off 0 0", "release", "open sheet1.png @9 size 128x128",
          "entry tree.png @10 0 0 64 100 off -10 3", "release"},
         "",
         0},
        {"last_line_without_line_feed",
         "* a.png\nb.png 1 2 3 4 off 5 6",
         {"open a.png @1", "entry b.png @2 1 2 3 4 off 5 6", "release"},
         "",
         0},
        {"zero_byte_ends_the_text",
         std::string("* a.png\nb.png 1 2 3 4 off 5 6\n") + '\0' + "c.png 1 1 1 1\n",
         {"open a.png @1", "entry b.png @2 1 2 3 4 off 5 6", "release"},
         "",
         0},
        {"empty", "", {}, "", 0},
        {"whitespace_only", " \n\t\r\n\n", {}, "", 0},
        {"entry_with_leading_whitespace_and_star_name",
         "* a.png\n   b.png 1 2 3 4 off 5 6\n \t*c.png 7 8 9 10\n",
         {"open a.png @1", "entry b.png @2 1 2 3 4 off 5 6", "entry *c.png @3 7 8 9 10 off 5 6",
          "release"},
         "",
         0},
        {"offsets_inherited_or_partly_given",
         "* a.png\nb.png 1 2 3 4 off 5 6\nc.png 7 8 9 10\nd.png 1 1 1 1 off\n"
         "e.png 2 2 2 2 off 9\nf.png 3 3 3 3junk off 1 1\ng.png 4 4 4 4 offset 8 8\n",
         {"open a.png @1", "entry b.png @2 1 2 3 4 off 5 6", "entry c.png @3 7 8 9 10 off 5 6",
          "entry d.png @4 1 1 1 1 off 5 6", "entry e.png @5 2 2 2 2 off 9 6",
          "entry f.png @6 3 3 3 3 off 9 6", "entry g.png @7 4 4 4 4 off 9 6", "release"},
         "",
         0},
        {"offsets_no_line_gave_are_0",
         "* a.png\nb.png 1 2 3 4\n",
         {"open a.png @1", "entry b.png @2 1 2 3 4 off 0 0", "release"},
         "",
         0},
        {"signs_and_spacing",
         "*a.png\nb.png\t+1  -2 3 4off -5 +6\n",
         {"open a.png @1", "entry b.png @2 1 -2 3 4 off -5 6", "release"},
         "",
         0},
        {"header_without_size_and_header_after_header",
         "* a.png\n*b.png size 3\n* c.png size 7 9 and more\n",
         {"open a.png @1", "release", "open b.png @2", "release", "open c.png @3 size 7x9",
          "release"},
         "",
         0},
        {"entry_lacking_numbers_is_skipped",
         "* a.png\nb.png 1 2 3\nc.png 1 2 3 4 off 5 6\nd.png 1 2x 3 4\ne.png\nf.png 5 6 7 8\n",
         {"open a.png @1", "entry c.png @3 1 2 3 4 off 5 6", "entry f.png @6 5 6 7 8 off 5 6",
          "release"},
         "atlas.txt:2: skipped entry b.png: it needs x, y, w and h on its line\n"
         "atlas.txt:4: skipped entry d.png: it needs x, y, w and h on its line\n"
         "atlas.txt:5: skipped entry e.png: it needs x, y, w and h on its line\n",
         3},
        {"numbers_beyond_32_bits_are_skipped",
         "* a.png\nb.png 2147483648 0 1 1\nc.png -2147483648 2147483647 1 1 off "
         "-2147483648 2147483647\nd.png 1 1 1 1 off 99999999999999999999 0\n",
         {"open a.png @1", "entry c.png @3 -2147483648 2147483647 1 1 off -2147483648 2147483647",
          "release"},
         "atlas.txt:2: skipped entry b.png: a number on it does not fit in 32 bits\n"
         "atlas.txt:4: skipped entry d.png: a number on it does not fit in 32 bits\n",
         2},
        {"first_line_is_no_header",
         "hero.png 0 0 1 1\n* a.png\nb.png 1 1 1 1\n",
         {},
         "atlas.txt:1: expected an image header line (\"* <image> size <w> <h>\"); the rest of "
         "the index was not read\n",
         1},
        {"whitespace_before_the_first_star",
         "\n  * a.png\nb.png 1 1 1 1\n",
         {},
         "atlas.txt:2: expected an image header line (\"* <image> size <w> <h>\"); the rest of "
         "the index was not read\n",
         1},
        {"star_without_image_name",
         "* a.png\nb.png 1 1 1 1\n*  \r\nnext.png 1 1 1 1\n",
         {"open a.png @1", "entry b.png @2 1 1 1 1 off 0 0", "release"},
         "atlas.txt:3: image header line without an image name; the rest of the index was not "
         "read\n",
         1},
    };
}

TEST(WalkIndex, HandsOnEveryLineAsItStands) {
    for (const WalkCase& c : walk_cases()) {
        SCOPED_TRACE(c.name);
        Recorded r = walk(c.text);
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.reported, c.reported);
    }
}

TEST(WalkIndex, AnImageThatDoesNotOpenEndsTheWalk) {
    Recorded r = walk(kWellFormed, 4);
    EXPECT_EQ(r.events,
              (Events{"open sheet0.png @1 size 256x256", "entry hero.png @2 0 0 32 48 off 2 -4",
                      "entry coin.png @3 32 0 16 16 off 0 0", "release",
                      "open sheet1.png @4 size 128x128"}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.reported, 0);
}

TEST(ReadFile, ReadsFilesWholeAndStopsTheProcessWhenItCannot) {
    TempDir dir;
    const std::string path = dir / "atlas.txt";
    write_bytes(path, std::string("* a.png\n\0after", 14));
    char* text = read_file(path.c_str());
    EXPECT_EQ(std::string(text, 15), std::string("* a.png\n\0after\0", 15));
    free(text);

    write_bytes(path, "");
    text = read_file(path.c_str());
    EXPECT_STREQ(text, "");
    free(text);

    const std::string missing = dir / "missing.txt";
    RunResult r = run_function([&] { return read_file(missing.c_str()) ? 0 : 2; });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not open file: " + missing + "\n");

    r = run_function([&] { return read_file(dir.path.c_str()) ? 0 : 2; });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not read file: " + dir.path + "\n");
}

TEST(ReadFile, ReadsAPipeToItsEnd) {
    // More than any first guess at the size, so the buffer has to grow.
    std::string content;
    for (int i = 0; content.size() < 300000; ++i)
        content += "entry" + std::to_string(i) + ".png 1 2 3 4 off 5 6\n";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        size_t done = 0;
        while (done < content.size()) {
            ssize_t n = write(fds[1], content.data() + done, content.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(fds[1]);
    });
    const std::string path = "/proc/self/fd/" + std::to_string(fds[0]);
    char* text = read_file(path.c_str());
    writer.join();
    close(fds[0]);
    EXPECT_EQ(std::string(text), content);
    free(text);
}

}  // namespace
