#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "png_io.h"

namespace {

// Forks; the child gets /dev/null as input, captured output, the environment, limits and
// directory of `options`, and ends with the status `child` returns.
RunResult run_child(const std::function<int()>& child, const RunOptions& options) {
    TempDir capture;
    std::string out_path = capture / "stdout", err_path = capture / "stderr";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& name : options.unset_env) unsetenv(name.c_str());
        for (const auto& [name, value] : options.set_env) setenv(name.c_str(), value.c_str(), 1);
        if (options.file_size_limit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{rlim_t(options.file_size_limit), rlim_t(options.file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        alarm(options.timeout_seconds);  // kept across exec
        int status = child();
        fflush(nullptr);
        _exit(status);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.out = read_bytes(out_path);
    result.err = read_bytes(err_path);
    return result;
}

}  // namespace

RunResult run_program(const std::vector<std::string>& argv, const RunOptions& options) {
    return run_child(
        [&] {
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            return 127;
        },
        options);
}

RunResult run_function(const std::function<int()>& body, const RunOptions& options) {
    return run_child(body, options);
}

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path() / "asset-tools-test-XXXXXX";
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> list_dir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> list_tree(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        names.push_back(e.path().lexically_relative(root).string());
    std::sort(names.begin(), names.end());
    return names;
}
