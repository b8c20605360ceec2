#include "pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

PendingFile::~PendingFile() {
    discard();
    if (dir_fd >= 0) close(dir_fd);
}

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
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return dir_fd >= 0 && open_temp(existing);
}

// Creates the temporary file under a name no tool takes for its own output (hidden, no ".png"
// ending), with the permissions a plain fopen would give the target.
bool PendingFile::open_temp(const struct stat* existing) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, ".~png%ld.%u.tmp", long(getpid()), counter++);
        int fd = openat(dir_fd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (!temp_name.empty()) unlinkat(dir_fd, temp_name.c_str(), 0);
    temp_name.clear();
}
