// Writing a file without ever leaving a half-written one in its place.
#pragma once

#include <cstdio>
#include <string>

struct stat;

// A file being written: a temporary file beside the target that replaces it only once
// complete, or the target itself when that is a device, FIFO or the like. A new file is written
// as an unnamed file in the target's directory where the system offers that (O_TMPFILE), and
// gets its name once complete; otherwise the temporary file has a hidden name of its own.
// Removes an unfinished temporary file when it goes out of scope. While a named temporary file
// exists the directory is held open, so its path is never longer than the target's.
struct PendingFile {
    FILE* stream = nullptr;
    int dir_fd = -1;
    std::string dir_path;     // the target's directory, ending in "/"
    std::string target_name;  // within the directory
    std::string temp_name;    // empty when writing in place or unnamed
    int unnamed_fd = -1;      // the unnamed file, kept open to give it its name

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Opens the stream; false with errno set when no file could be created.
    bool open(const char* path);
    // Closes the stream; false with errno set when buffered data could not be written.
    bool close_stream() {
        FILE* s = stream;
        stream = nullptr;
        return fclose(s) == 0;
    }
    // Moves the finished temporary file over the target; false with errno set on failure.
    bool commit();
    // Closes and removes an unfinished temporary file.
    void discard();

  private:
    bool open_dir();
    bool open_temp(const struct stat* existing);
    bool open_unnamed();
};
