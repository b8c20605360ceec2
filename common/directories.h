// Checking the directories named on a command line before any work starts.
#pragma once

// True when `path` names a directory (an empty path names the root, as a prefix of "/" would).
// Otherwise prints "<role> <path>: <reason>" on standard error, for example
// "Output directory out: No such file or directory", and returns false.
bool check_directory(const char* role, const char* path);
