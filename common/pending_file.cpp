#include "pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

PendingFile::~PendingFile() {
    discard();
    if (dir_fd >= 0) close(dir_fd);
}

namespace {

// Whether an open file can be named through /proc/self/fd, which linkat needs for an unnamed
// file of an unprivileged process.
bool fd_links_available() {
    static const bool available = access("/proc/self/fd", X_OK) == 0;
    return available;
}

std::string fd_path(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// A fresh name for a temporary file, one no tool takes for its own output (hidden, no ".png"
// ending).
std::string temp_file_name() {
    static unsigned counter = 0;
    return ".~png" + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
}

}  // namespace

bool PendingFile::open(const char* path) {
    std::string target = path;
    bool in_place = false;
    struct stat st;
    const struct stat* existing = nullptr;
    if (lstat(path, &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Replace the file the link points to and keep the link; a dangling link is
            // written through, as fopen would.
            char resolved[PATH_MAX];
            if (realpath(path, resolved) && stat(resolved, &st) == 0) {
                target = resolved;
            } else {
                in_place = true;
            }
        }
        if (!in_place && S_ISREG(st.st_mode)) existing = &st;
        if (!in_place && !S_ISREG(st.st_mode)) in_place = true;
    }
    size_t slash = target.rfind('/');
    target_name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (target_name.empty()) in_place = true;  // names a directory: let fopen say why not
    if (in_place) {
        stream = fopen(path, "wb");
        return stream != nullptr;
    }
    dir_path = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    // A new file needs no name until it is complete: that spares creating and renaming one.
    if (!existing && open_unnamed()) return true;
    return open_dir() && open_temp(existing);
}

bool PendingFile::open_dir() {
    dir_fd = ::open(dir_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return dir_fd >= 0;
}

// Opens an unnamed file in the directory, with the permissions a plain fopen would give; false
// (and nothing open) where the system or file system offers none.
bool PendingFile::open_unnamed() {
    if (!fd_links_available()) return false;
    int fd = ::open(dir_path.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    unnamed_fd = dup(fd);
    if (unnamed_fd >= 0 && (stream = fdopen(fd, "wb")) != nullptr) return true;
    close(fd);
    if (unnamed_fd >= 0) close(unnamed_fd);
    unnamed_fd = -1;
    return false;
}

// Creates the temporary file under a name of its own, with the permissions a plain fopen would
// give the target.
bool PendingFile::open_temp(const struct stat* existing) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temp_file_name();
        int fd = openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        temp_name = name;
        // Replacing a file keeps its owner, where this process may give it away, and its
        // permission bits, as truncating it in place would.
        if (existing && fchown(fd, existing->st_uid, existing->st_gid) != 0) {
            // Not permitted: the new file stays this process's own.
        }
        if ((!existing || fchmod(fd, existing->st_mode & 0777) == 0) &&
            (stream = fdopen(fd, "wb")) != nullptr)
            return true;
        int saved = errno;
        close(fd);
        discard();
        errno = saved;
        return false;
    }
    errno = EEXIST;
    return false;
}

bool PendingFile::commit() {
    if (unnamed_fd >= 0) {
        const std::string source = fd_path(unnamed_fd);
        const std::string target = dir_path + target_name;
        int linked = linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == EEXIST) {
            // Something took the name meanwhile: name the file beside it and move it over.
            const std::string name = temp_file_name();
            if (open_dir() &&
                linkat(AT_FDCWD, source.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temp_name = name;
        }
        int saved = errno;
        close(unnamed_fd);
        unnamed_fd = -1;
        if (linked == 0) return true;
        if (temp_name.empty()) {
            errno = saved;
            return false;
        }
    }
    if (temp_name.empty()) return true;
    if (renameat(dir_fd, temp_name.c_str(), dir_fd, target_name.c_str()) != 0) {
        int saved = errno;
        discard();
        errno = saved;
        return false;
    }
    temp_name.clear();
    return true;
}

void PendingFile::discard() {
    if (stream) fclose(stream);
    stream = nullptr;
    if (unnamed_fd >= 0) close(unnamed_fd);  // an unnamed file vanishes with its last descriptor
    unnamed_fd = -1;
    if (!temp_name.empty()) unlinkat(dir_fd, temp_name.c_str(), 0);
    temp_name.clear();
}
