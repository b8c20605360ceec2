// explode_atlas: cuts every entry of an atlas index out of its atlas image into a PNG file of
// its own, with an offset file beside it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "atlas_index.h"
#include "directories.h"
#include "explode_atlas.h"
#include "memory_tuning.h"

int main(int argc, char** argv) {
    keep_freed_memory();
    if (argc < 4) {
        fprintf(stderr, "Usage: %s <atlas_file> <atlas_directory> <output_directory>\n", argv[0]);
        return 1;
    }
    AtlasRun run;
    run.index_path = argv[1];
    if (!format_prefix(run.atlas_prefix, argv[2]) || !format_prefix(run.output_prefix, argv[3])) {
        fprintf(stderr, "Directory paths must be shorter than %zu bytes\n", kPathBufferSize - 1);
        return 1;
    }
    if (!check_directory("Atlas directory", argv[2]) ||
        !check_directory("Output directory", argv[3]))
        return 1;

    size_t length = 0;
    char* text = read_file(run.index_path, &length);
    AtlasImage image;
    bool image_failed = false;
    int failed_entries = 0;
    const int bad_lines = walk_index(text, run.index_path,
                                     {[&](const ImageHeader& header) {
                                          image_failed = !open_atlas_image(run, header, image);
                                          return !image_failed;
                                      },
                                      [&](const IndexEntry& entry) {
                                          if (!explode_entry(run, image, entry)) ++failed_entries;
                                      },
                                      [&] { image.surface.reset(); }});
    // The walk stops at a zero byte; text beyond one is not silently dropped.
    const size_t text_end = strlen(text);
    const bool zero_byte = text_end < length;
    if (zero_byte)
        fprintf(stderr, "%s:%ld: the index holds a zero byte; the rest of the index was not read\n",
                run.index_path, 1 + long(std::count(text, text + text_end, '\n')));
    free(text);

    if (image_failed) return 1;
    if (failed_entries > 0)
        fprintf(stderr, "%d entr%s of %s could not be written\n", failed_entries,
                failed_entries == 1 ? "y" : "ies", run.index_path);
    return bad_lines > 0 || failed_entries > 0 || zero_byte ? 1 : 0;
}
