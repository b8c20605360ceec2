// explode_font: writes every glyph of a font sheet to a PNG file of its own.

#include <cstdio>

#include "directories.h"
#include "explode_font.h"
#include "font_sheet.h"
#include "image_loading.h"
#include "memory_tuning.h"
#include "sdl_startup.h"
#include "surface_ptr.h"

int main(int argc, char** argv) {
    keep_freed_memory();
    if (argc != 3) {
        fprintf(stderr, "Usage: %s <font_file> <output_path>\n", argv[0]);
        return 1;
    }
    font_name = argv[1];
    output_path = argv[2];

    // Every glyph path has the same length (three-digit codes), so one check covers them all.
    char path[kPathBufferSize];
    if (!format_glyph_path(path, output_path, font_name, kFirstCharCode)) {
        fprintf(stderr, "Glyph file paths in the output directory would be longer than %zu bytes\n",
                kPathBufferSize - 1);
        return 1;
    }

    // Progress lines then appear in order with the messages on standard error.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    start_sdl_headless();
    printf("Exploding font %s into %s\n", font_name, output_path);
    if (!check_directory("Output directory", output_path)) return 1;

    SurfacePtr sheet(load_image(font_name));
    if (!sheet) {
        fprintf(stderr, "Loading font \"%s\":%s\n", font_name, SDL_GetError());
        return 1;
    }

    int failures = explode_sheet(sheet.get());
    if (failures > 0) {
        fprintf(stderr, "%d glyph file%s could not be written\n", failures,
                failures == 1 ? "" : "s");
        return 1;
    }
    return 0;
}
