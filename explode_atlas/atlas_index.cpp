#include "atlas_index.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void read_failed(const char* path, FILE* file, char* text) {
    free(text);
    if (file) fclose(file);
    fprintf(stderr, "Could not read file: %s\n", path);
    exit(1);
}

}  // namespace

char* read_file(const char* path, size_t* length_read) {
    FILE* file = fopen(path, "r");
    if (!file) {
        fprintf(stderr, "Could not open file: %s\n", path);
        exit(1);
    }
    // The size of a regular file is known up front; anything else (a pipe, a terminal) is read
    // to its end, the buffer growing as it fills.
    long size = -1;
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode)) size = long(st.st_size);
    size_t capacity = size >= 0 ? size_t(size) + 1 : 64 * 1024;
    char* text = static_cast<char*>(malloc(capacity));
    if (!text) read_failed(path, file, text);
    size_t length = 0;
    for (;;) {
        length += fread(text + length, 1, capacity - 1 - length, file);
        if (ferror(file)) read_failed(path, file, text);
        if (length < capacity - 1 || size >= 0) break;
        char* grown = static_cast<char*>(realloc(text, capacity * 2));
        if (!grown) read_failed(path, file, text);
        text = grown;
        capacity *= 2;
    }
    fclose(file);
    text[length] = '\0';
    if (size >= 0 && length != size_t(size)) read_failed(path, nullptr, text);
    if (length_read) *length_read = length;
    return text;
}

namespace {

// Whitespace within a line; a line feed ends the line instead.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

enum class Number { kRead, kMissing, kTooLarge };

// Reads fields from one line the way the formatted scan reads them, without ever looking past
// the line's end.
struct LineScanner {
    const char* p;
    const char* end;

    void skip_blanks() {
        while (p < end && is_blank(*p)) ++p;
    }
    // The longest run of non-whitespace characters after any blanks; empty when there is none.
    std::string_view word() {
        skip_blanks();
        const char* start = p;
        while (p < end && !is_blank(*p)) ++p;
        return {start, size_t(p - start)};
    }
    // An optionally signed decimal integer after any blanks.
    Number number(int& value) {
        skip_blanks();
        const char* q = p;
        bool negative = false;
        if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
        if (q == end || *q < '0' || *q > '9') return Number::kMissing;
        long long magnitude = 0;
        bool too_large = false;
        for (; q < end && *q >= '0' && *q <= '9'; ++q) {
            magnitude = magnitude * 10 + (*q - '0');
            if (magnitude > 1LL + INT_MAX) {
                too_large = true;
                magnitude = 1LL + INT_MAX;
            }
        }
        p = q;
        long long v = negative ? -magnitude : magnitude;
        if (too_large || v > INT_MAX || v < INT_MIN) return Number::kTooLarge;
        value = int(v);
        return Number::kRead;
    }
    // A keyword after any blanks, matched character by character.
    bool keyword(std::string_view word) {
        skip_blanks();
        if (size_t(end - p) < word.size() || std::string_view(p, word.size()) != word) return false;
        p += word.size();
        return true;
    }
};

// The entry numbers, which live for the whole walk.
struct EntryNumbers {
    int x = 0, y = 0, w = 0, h = 0, offset_x = 0, offset_y = 0;
};

// Reads an entry line into `numbers`; false, with the reason in `why`, when the line must be
// skipped (then `numbers` stay as they were).
bool read_entry(LineScanner scan, std::string_view& name, EntryNumbers& numbers, const char*& why) {
    name = scan.word();
    EntryNumbers next = numbers;
    int* rectangle[] = {&next.x, &next.y, &next.w, &next.h};
    for (int* field : rectangle) {
        Number n = scan.number(*field);
        if (n == Number::kMissing) {
            why = "it needs x, y, w and h on its line";
            return false;
        }
        if (n == Number::kTooLarge) {
            why = "a number on it does not fit in 32 bits";
            return false;
        }
    }
    // The offsets are optional; what the line lacks keeps its last value.
    if (scan.keyword("off")) {
        for (int* field : {&next.offset_x, &next.offset_y}) {
            Number n = scan.number(*field);
            if (n == Number::kTooLarge) {
                why = "a number on it does not fit in 32 bits";
                return false;
            }
            if (n == Number::kMissing) break;
        }
    }
    numbers = next;
    return true;
}

ImageHeader read_header(LineScanner scan, int line) {
    ++scan.p;  // the "*"
    ImageHeader header{scan.word(), line, false, 0, 0};
    header.has_size = scan.keyword("size") && scan.number(header.width) == Number::kRead &&
                      scan.number(header.height) == Number::kRead;
    return header;
}

}  // namespace

int walk_index(const char* text, const char* index_path, const IndexVisitor& visitor) {
    int reported = 0;
    bool image_open = false;
    EntryNumbers numbers;
    const char* p = text;
    for (int line = 1; *p; ++line) {
        const char* start = p;
        const char* end = start;
        while (*end && *end != '\n') ++end;
        p = *end ? end + 1 : end;
        LineScanner scan{start, end};
        scan.skip_blanks();
        if (scan.p == end) continue;  // whitespace only

        if (*start == '*') {
            if (image_open) visitor.release_image();
            image_open = false;
            ImageHeader header = read_header(LineScanner{start, end}, line);
            if (header.image.empty()) {
                fprintf(stderr,
                        "%s:%d: image header line without an image name; the rest of the index "
                        "was not read\n",
                        index_path, line);
                return reported + 1;
            }
            if (!visitor.open_image(header)) return reported;
            image_open = true;
            continue;
        }
        if (!image_open) {
            fprintf(stderr,
                    "%s:%d: expected an image header line (\"* <image> size <w> <h>\"); the "
                    "rest of the index was not read\n",
                    index_path, line);
            return reported + 1;
        }
        std::string_view name;
        const char* why = nullptr;
        if (!read_entry(scan, name, numbers, why)) {
            fprintf(stderr, "%s:%d: skipped entry %.*s: %s\n", index_path, line, int(name.size()),
                    name.data(), why);
            ++reported;
            continue;
        }
        visitor.process_entry({name, line, numbers.x, numbers.y, numbers.w, numbers.h,
                               numbers.offset_x, numbers.offset_y});
    }
    if (image_open) visitor.release_image();
    return reported;
}
