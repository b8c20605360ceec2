#include "font_sheet.h"

#include <libgen.h>

#include <cstdio>
#include <string>

bool format_glyph_path(char (&buffer)[kPathBufferSize], const char* directory,
                       const char* font_file, int code) {
    // POSIX basename may write into its argument, so it gets a copy.
    std::string copy(font_file);
    int length =
        snprintf(buffer, sizeof buffer, kGlyphFileFormat, directory, basename(&copy[0]), code);
    if (length < 0 || size_t(length) >= sizeof buffer) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
