// glue_font: assembles a directory of glyph files into one font sheet.
#include <cstdio>

#include "directories.h"
#include "font_sheet.h"
#include "glue_font.h"
#include "memory_tuning.h"
#include "sdl_startup.h"

int main(int argc, char** argv) {
    keep_freed_memory();
    if (argc != 3) {
        fprintf(stderr, "Usage: %s <font_file> <input_path>\n", argv[0]);
        return 1;
    }
    font_name = argv[1];
    input_path = argv[2];

    // Every glyph path has the same length (three-digit codes), so one check covers them all.
    char path[kPathBufferSize];
    if (!format_glyph_path(path, input_path, font_name, kFirstCharCode)) {
        fprintf(stderr, "Glyph file paths in the input directory would be longer than %zu bytes\n",
                kPathBufferSize - 1);
        return 1;
    }

    // Progress lines then appear in order with the messages on standard error.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    start_sdl_headless();
    printf("Gluing characters in %s to create font %s\n", input_path, font_name);
    if (!check_directory("Input directory", input_path)) return 1;
    return create_font();
}
