// The atlas index: a text of image header lines ("* <image> size <w> <h>") and, below each, the
// entry lines ("<name> <x> <y> <w> <h> off <offset x> <offset y>") to cut from that image.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

// Reads the whole file at `path` into a new zero-terminated buffer that the caller frees with
// free(), and stores the number of bytes read in `*length_read` when that is given. Works on
// pipes and other streams that cannot seek. On failure prints "Could not open file: <path>" or
// "Could not read file: <path>" on standard error and exits with status 1.
char* read_file(const char* path, size_t* length_read = nullptr);

// An image header line as the walk hands it on.
struct ImageHeader {
    std::string_view image;  // the image name, relative to the atlas directory
    int line;                // 1-based line number in the index
    bool has_size;           // the line gave "size" and two numbers
    int width, height;       // those numbers, when it did
};

// An entry line, with the six entry numbers as they stand after it: x, y, w and h from its own
// line, the offsets from the last entry line that gave them (0 before any did).
struct IndexEntry {
    std::string_view name;  // the PNG file's name, relative to the output directory
    int line;
    int x, y, w, h;
    int offset_x, offset_y;
};

// What the walk calls, in index order.
struct IndexVisitor {
    std::function<bool(const ImageHeader&)> open_image;  // false ends the walk there
    std::function<void(const IndexEntry&)> process_entry;
    std::function<void()> release_image;  // once for every image that opened
};

// Walks the index text (up to its first zero byte) line by line in time linear in its length.
// Whitespace-only lines are skipped. An entry line that lacks x, y, w or h on its line, or holds
// a number beyond 32 bits, is reported on standard error with `index_path` and its line number,
// and skipped. The walk ends early, reporting the line, where text is left that it cannot read:
// a first line that is no image header line, or a header without an image name. Returns the
// number of lines reported.
int walk_index(const char* text, const char* index_path, const IndexVisitor& visitor);
