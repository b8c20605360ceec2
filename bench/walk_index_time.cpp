// Times the atlas index walk alone: reads an index, walks it with a visitor that only counts,
// and prints the entries seen and the time per entry line.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "atlas_index.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: %s <atlas_file>\n", argv[0]);
        return 1;
    }
    char* text = read_file(argv[1]);
    long images = 0, entries = 0;
    const auto start = std::chrono::steady_clock::now();
    const int reported = walk_index(text, argv[1],
                                    {[&](const ImageHeader&) {
                                         ++images;
                                         return true;
                                     },
                                     [&](const IndexEntry&) { ++entries; }, [] {}});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    free(text);
    printf("%ld images, %ld entries, %d lines reported: walk %.4f s, %.1f ns per entry line\n",
           images, entries, reported, seconds, entries ? seconds * 1e9 / entries : 0.0);
    return 0;
}
