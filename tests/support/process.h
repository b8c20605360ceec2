// Running the built programs as a user would, and scratch directories for their files.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number when killed by a signal
    std::string out, err;
};

struct RunOptions {
    std::vector<std::string> unset_env;                        // removed from the environment
    std::vector<std::pair<std::string, std::string>> set_env;  // added or replaced
    long file_size_limit = -1;      // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored, when >= 0
    std::string cwd;                // working directory, when not empty
    unsigned timeout_seconds = 60;  // then SIGALRM ends the child (status 142), so no test hangs
};

// Runs `argv` (argv[0] is the program's path and its invocation name) and collects its output.
RunResult run_program(const std::vector<std::string>& argv, const RunOptions& options = {});

// Runs `body` in a child process set up like run_program's, as a tool would run it, and
// collects its output; the child's status is what `body` returns, unless it exits on its own.
RunResult run_function(const std::function<int()>& body, const RunOptions& options = {});

// A fresh directory under the system's temporary directory, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& path);

// Every file and directory under `root`, as paths relative to it, sorted.
std::vector<std::string> list_tree(const std::string& root);
