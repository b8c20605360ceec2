// The atlas index walk on arbitrary bytes, without images: it must never read past the text,
// and what it hands on must hold together.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "atlas_index.h"

namespace {

[[noreturn]] void fail(const char* what) {
    fprintf(stderr, "atlas index fuzz: %s\n", what);
    abort();
}

bool inside(std::string_view part, const std::string& text) {
    return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
}

bool has_space_or_nul(std::string_view s) {
    for (char c : s)
        if (c == '\0' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The walk reads up to the first zero byte, as it does a file read into memory.
    const std::string text(reinterpret_cast<const char*>(data), size);
    int opened = 0, released = 0, last_line = 0, header_line = 0;
    bool open = false;
    const int lines = 1 + int(std::count(text.begin(), text.end(), '\n'));

    IndexVisitor visitor;
    visitor.open_image = [&](const ImageHeader& h) {
        if (open) fail("an image opened before the last was released");
        if (h.image.empty() || !inside(h.image, text) || has_space_or_nul(h.image))
            fail("bad image name");
        if (h.line <= last_line || h.line > lines) fail("header line number out of order");
        last_line = header_line = h.line;
        // Refuse every third image, as a missing atlas image would be refused.
        if (h.line % 3 == 0) return false;
        ++opened;
        open = true;
        return true;
    };
    visitor.process_entry = [&](const IndexEntry& e) {
        if (!open) fail("an entry outside an open image");
        if (e.name.empty() || !inside(e.name, text) || has_space_or_nul(e.name))
            fail("bad entry name");
        if (e.line <= last_line || e.line <= header_line || e.line > lines)
            fail("entry line number out of order");
        last_line = e.line;
    };
    visitor.release_image = [&] {
        if (!open) fail("an image released twice");
        open = false;
        ++released;
    };
    const int reported = walk_index(text.c_str(), "fuzz.txt", visitor);
    if (open || opened != released) fail("an image was left open");
    if (reported < 0 || reported > lines) fail("more lines reported than the text holds");
    return 0;
}
