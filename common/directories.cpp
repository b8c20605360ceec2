#include "directories.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

bool check_directory(const char* role, const char* path) {
    // The tools build file paths as "<path>/<name>", so that is the path to ask about: a
    // trailing "/" makes a regular file fail with "Not a directory".
    const std::string prefix = std::string(path) + "/";
    struct stat st;
    if (stat(prefix.c_str(), &st) == 0) return true;
    fprintf(stderr, "%s %s: %s\n", role, path, strerror(errno));
    return false;
}
