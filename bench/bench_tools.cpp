// Times the tools against the floor of their work (bench/floor.cpp) on inputs it generates
// deterministically, and prints one table: wall time (median of the runs), the ratio tool /
// floor, the time per entry or glyph, and the peak resident memory of each run next to the
// size of the decoded image. Also times the atlas index walk alone per index line.
//   bench_tools <work dir> [runs] [--walk-only]
#include <fcntl.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "atlas_index.h"

namespace fs = std::filesystem;

namespace {

const int kAtlasSide = 4096, kCell = 64;

[[noreturn]] void die(const std::string& what) {
    fprintf(stderr, "bench_tools: %s\n", what.c_str());
    exit(1);
}

// A small deterministic generator, so the inputs are the same on every machine.
struct Lcg {
    uint32_t state;
    uint32_t next() { return state = state * 1664525u + 1013904223u; }
};

// Sprite-like pixels: each 64x64 cell holds a soft-edged blob with a gradient and a little
// noise, on transparent background, so the entries compress like real art, not like noise
// or flat colour.
void atlas_pixel(int x, int y, Lcg& rng, uint8_t out[4]) {
    const int cx = x % kCell - kCell / 2, cy = y % kCell - kCell / 2;
    const int cell = (y / kCell) * (kAtlasSide / kCell) + x / kCell;
    const int radius = 18 + cell % 13;
    const int d2 = cx * cx + cy * cy, r2 = radius * radius;
    const int noise = int(rng.next() >> 29);
    out[0] = uint8_t((cell * 37 + x * 2) & 0xF8) + noise;
    out[1] = uint8_t((cell * 11 + y * 3) & 0xF8) + noise;
    out[2] = uint8_t((cell * 5 + (x ^ y)) & 0xF8);
    out[3] = d2 <= r2 ? 255 : d2 <= r2 + 4 * radius ? uint8_t(255 - 60 * (d2 - r2) / radius) : 0;
}

void write_png(const std::string& path, int colour_type, const std::vector<png_byte>& data,
               int channels, const std::vector<png_color>& palette = {}) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) die("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) die("libpng failed on " + path);
    png_init_io(png, f);
    png_set_IHDR(png, info, kAtlasSide, kAtlasSide, 8, colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    png_write_info(png, info);
    for (int y = 0; y < kAtlasSide; ++y)
        png_write_row(png, const_cast<png_bytep>(&data[size_t(y) * kAtlasSide * channels]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (fclose(f) != 0) die("cannot write " + path);
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The three atlases, their indexes (4096 entries of 64x64) and the floor's rectangle lists.
void make_atlas_inputs(const std::string& dir) {
    if (fs::exists(dir + "/atlas_palette.png")) return;
    fs::create_directories(dir);
    Lcg rng{12345};
    std::vector<png_byte> rgba(size_t(kAtlasSide) * kAtlasSide * 4), rgb, indexed;
    for (int y = 0; y < kAtlasSide; ++y)
        for (int x = 0; x < kAtlasSide; ++x)
            atlas_pixel(x, y, rng, &rgba[(size_t(y) * kAtlasSide + x) * 4]);
    // RGB: the same art over a dark background. Palette: 3-3-2 bits of it, 256 colours.
    std::vector<png_color> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = {png_byte((i >> 5) * 255 / 7), png_byte(((i >> 2) & 7) * 255 / 7),
                      png_byte((i & 3) * 255 / 3)};
    for (size_t p = 0; p < rgba.size() / 4; ++p) {
        const png_byte* c = &rgba[4 * p];
        png_byte v[3];
        for (int k = 0; k < 3; ++k) v[k] = png_byte((c[k] * c[3] + 24 * (255 - c[3])) / 255);
        rgb.insert(rgb.end(), v, v + 3);
        indexed.push_back(png_byte((v[0] >> 5) << 5 | (v[1] >> 5) << 2 | v[2] >> 6));
    }
    write_png(dir + "/atlas_rgba.png", PNG_COLOR_TYPE_RGB_ALPHA, rgba, 4);
    write_png(dir + "/atlas_rgb.png", PNG_COLOR_TYPE_RGB, rgb, 3);
    write_png(dir + "/atlas_palette.png", PNG_COLOR_TYPE_PALETTE, indexed, 1, palette);
    for (const char* form : {"rgba", "rgb", "palette"}) {
        std::string index = "* atlas_" + std::string(form) + ".png size 4096 4096\n", rects;
        char line[128];
        for (int i = 0; i < (kAtlasSide / kCell) * (kAtlasSide / kCell); ++i) {
            const int x = i % (kAtlasSide / kCell) * kCell, y = i / (kAtlasSide / kCell) * kCell;
            snprintf(line, sizeof line, "e%04d.png %d %d %d %d", i, x, y, kCell, kCell);
            rects += std::string(line) + "\n";
            index += std::string(line) + " off 32 60\n";
        }
        write_text(dir + "/index_" + form + ".txt", index);
        write_text(dir + "/rects_" + form + ".txt", rects);
    }
}

struct Run {
    double seconds;      // wall clock
    double cpu_seconds;  // user and system time
    long peak_kib;
};

// Runs `argv` with its output discarded, in a fresh empty `out_dir` when that is not empty.
// fork and exec rather than posix_spawn: a child's peak memory starts from what it shares
// with its parent at the fork, so the parent stays small and never holds big buffers.
Run run_once(const std::vector<std::string>& argv, const std::string& out_dir) {
    if (!out_dir.empty()) {
        fs::remove_all(out_dir);
        fs::create_directories(out_dir);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) die("cannot fork");
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    int status;
    rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) die("lost " + argv[0]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die(argv[0] + " failed");
    auto secs = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return {seconds, secs(usage.ru_utime) + secs(usage.ru_stime), usage.ru_maxrss};
}

// The tool and its floor, run by turns `runs` times each so that a slow spell of the machine
// hits both alike: the median times and the largest peak memory of each.
std::pair<Run, Run> measure(const std::vector<std::string>& tool,
                            const std::vector<std::string>& floor, const std::string& out_dir,
                            int runs) {
    std::vector<Run> t, f;
    for (int i = 0; i < runs; ++i) {
        t.push_back(run_once(tool, out_dir));
        f.push_back(run_once(floor, out_dir));
    }
    auto summary = [](std::vector<Run> r) {
        Run out{0, 0, 0};
        for (const Run& x : r) out.peak_kib = std::max(out.peak_kib, x.peak_kib);
        std::sort(r.begin(), r.end(),
                  [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
        out.seconds = r[r.size() / 2].seconds;
        std::sort(r.begin(), r.end(),
                  [](const Run& a, const Run& b) { return a.cpu_seconds < b.cpu_seconds; });
        out.cpu_seconds = r[r.size() / 2].cpu_seconds;
        return out;
    };
    return {summary(t), summary(f)};
}

// Width and height from a PNG file's header.
std::pair<int, int> png_size(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    unsigned char b[24];
    f.read(reinterpret_cast<char*>(b), 24);
    auto be = [&](int at) { return b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]; };
    return {be(16), be(20)};
}

// MiB of the surface IMG_Load makes of the 8-bit PNG at `path`: rows of 1 byte a pixel for a
// palette, 3 for RGB, 4 for RGBA, each padded to 4 bytes.
double decoded_mib(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    unsigned char b[26];
    f.read(reinterpret_cast<char*>(b), 26);
    const auto [w, h] = png_size(path);
    const int bytes = b[25] == 3 ? 1 : b[25] == 2 ? 3 : 4;
    return double((size_t(w) * bytes + 3) / 4 * 4) * h / (1 << 20);
}

void print_row(const char* name, const Run& tool, const Run& floor, int units, const char* unit,
               double decoded) {
    printf(
        "| %-23s | %7.3f | %7.3f | %5.2f | %6.3f | %6.3f | %5.2f | %7.1f us/%-5s | %8.1f | %9.1f | "
        "%7.1f |\n",
        name, tool.seconds, floor.seconds, tool.seconds / floor.seconds, tool.cpu_seconds,
        floor.cpu_seconds, tool.cpu_seconds / floor.cpu_seconds, tool.seconds * 1e6 / units, unit,
        tool.peak_kib / 1024.0, floor.peak_kib / 1024.0, decoded);
    fflush(stdout);
}

// The walk alone over indexes of each of `sizes` entry lines, read into memory with read_file
// as explode_atlas reads them. The sizes take turns, round after round, so that a slow spell
// of the machine hits them alike; the median of the rounds, in ns per line, for each size.
std::vector<double> walk_ns_per_line(const std::string& dir, const std::vector<int>& sizes) {
    std::vector<char*> texts;
    for (int lines : sizes) {
        const std::string path = dir + "/walk_" + std::to_string(lines) + ".txt";
        if (!fs::exists(path)) {
            std::string text = "* a.png size 4096 4096\n";
            char line[96];
            for (int i = 0; i < lines; ++i) {
                snprintf(line, sizeof line, "entry%07d.png %d %d 64 64 off %d -%d\n", i, i % 4096,
                         i / 4096 % 4096, i % 100, i % 77);
                text += line;
            }
            write_text(path, text);
        }
        texts.push_back(read_file(path.c_str()));
    }
    std::vector<std::vector<double>> times(sizes.size());
    for (int round = 0; round < 21; ++round)
        for (size_t k = 0; k < sizes.size(); ++k) {
            long entries = 0;
            const auto start = std::chrono::steady_clock::now();
            walk_index(texts[k], "bench.txt",
                       {[](const ImageHeader&) { return true; },
                        [&](const IndexEntry& e) { entries += e.w; }, [] {}});
            times[k].push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (entries != long(sizes[k]) * 64) die("the walk lost entries");
        }
    std::vector<double> ns;
    for (size_t k = 0; k < sizes.size(); ++k) {
        std::sort(times[k].begin(), times[k].end());
        ns.push_back(times[k][times[k].size() / 2] * 1e9 / sizes[k]);
        free(texts[k]);
    }
    return ns;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) die("usage: bench_tools <work dir> [runs]");
    const std::string work = fs::absolute(argv[1]);
    const int runs = argc > 2 ? atoi(argv[2]) : 5;
    const bool walk_only = argc > 3 && strcmp(argv[3], "--walk-only") == 0;
    const std::string explode_atlas = EXPLODE_ATLAS_BIN, explode_font = EXPLODE_FONT_BIN,
                      glue_font = GLUE_FONT_BIN, floor = FLOOR_BIN, sheet = SAMPLE_SHEET;
    if (!walk_only) {
        // Generating the inputs takes buffers of hundreds of MiB; a child process holds them.
        const pid_t maker = fork();
        if (maker == 0) {
            make_atlas_inputs(work);
            _exit(0);
        }
        int made;
        if (maker < 0 || waitpid(maker, &made, 0) != maker || !WIFEXITED(made) || WEXITSTATUS(made))
            die("could not generate the inputs");
        printf("runs per case: %d (median time, largest peak memory)\n\n", runs);
        printf("| %-23s | %7s | %7s | %5s | %6s | %6s | %5s | %16s | %8s | %9s | %7s |\n", "case",
               "tool s", "floor s", "ratio", "tool cpu", "floor cpu", "ratio", "tool per entry",
               "tool MiB", "floor MiB", "decoded MiB");
        printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");

        const std::string out = work + "/out";
        for (const char* form : {"rgba", "rgb", "palette"}) {
            const std::string atlas = work + "/atlas_" + form + ".png";
            auto [tool, base] =
                measure({explode_atlas, work + "/index_" + form + ".txt", work, out},
                        {floor, "cut", atlas, work + "/rects_" + form + ".txt", out}, out, runs);
            print_row(("explode_atlas " + std::string(form)).c_str(), tool, base, 4096, "entry",
                      decoded_mib(atlas));
        }

        // The font sheet: the rectangles the scan finds, taken from one run's progress lines and
        // the sizes of the files it wrote, are what the floor cuts.
        const std::string glyphs = work + "/glyphs";
        fs::remove_all(glyphs);
        fs::create_directories(glyphs);
        const std::string progress = work + "/progress.txt";
        if (system(("'" + explode_font + "' '" + sheet + "' '" + glyphs + "' > '" + progress + "'")
                       .c_str()) != 0)
            die("explode_font failed on the sample sheet");
        std::ifstream lines(progress);
        std::string line, rects;
        std::vector<std::string> glyph_files;
        int x = 0, y = 0, w = 0;
        char path[4096];
        while (std::getline(lines, line)) {
            if (sscanf(line.c_str(), "Reading character at %d %d...width %d", &x, &y, &w) == 3)
                continue;
            if (sscanf(line.c_str(), "Saving %4095s", path) != 1) continue;
            const std::string name = fs::path(path).filename();
            rects += name + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                     std::to_string(w) + " " + std::to_string(png_size(path).second) + "\n";
            glyph_files.push_back(path);
        }
        write_text(work + "/rects_font.txt", rects);
        const int count = int(glyph_files.size());
        auto [tool, base] =
            measure({explode_font, sheet, out},
                    {floor, "cut", sheet, work + "/rects_font.txt", out}, out, runs);
        print_row("explode_font 222 glyphs", tool, base, count, "glyph", decoded_mib(sheet));

        const std::string font_file = out + "/" + fs::path(sheet).filename().string();
        std::vector<std::string> glue_floor = {floor, "glue", out + "/floor.png"};
        glue_floor.insert(glue_floor.end(), glyph_files.begin(), glyph_files.end());
        std::tie(tool, base) = measure({glue_font, font_file, glyphs}, glue_floor, out, runs);
        print_row("glue_font 222 glyphs", tool, base, count, "glyph", 1024.0 * 512 * 4 / (1 << 20));
        fs::remove_all(out);
    }
    printf(
        "\n| index lines | walk ns/line | vs 10^4 |\n|-------------|--------------|---------|\n");
    const std::vector<int> sizes = {10000, 100000, 1000000};
    const std::vector<double> ns = walk_ns_per_line(work, sizes);
    for (size_t k = 0; k < sizes.size(); ++k)
        printf("| %11d | %12.1f | %7.2f |\n", sizes[k], ns[k], ns[k] / ns[0]);
    return 0;
}
