// Runs a test child program and collects its status and output.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace vt {

struct ChildResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// The test executables, the child and the stand-ins share one folder.
inline std::filesystem::path bin_folder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

inline std::filesystem::path child_program() { return bin_folder() / "platform_child"; }

struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vt-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

inline std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `program` with `args`; `environment` adds NAME=VALUE entries.
inline ChildResult run_child(const std::filesystem::path& program, std::initializer_list<std::string> args,
                             std::initializer_list<std::string> environment) {
    const TempFolder outputs;
    const auto out_file = outputs.path / "out";
    const auto err_file = outputs.path / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::FILE* out = std::freopen(out_file.c_str(), "w", stdout);
        std::FILE* err = std::freopen(err_file.c_str(), "w", stderr);
        if (!out || !err) ::_exit(127);
        std::vector<std::string> arg_storage{program.string()};
        arg_storage.insert(arg_storage.end(), args);
        std::vector<char*> argv;
        for (auto& a : arg_storage) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env_storage(environment);
        for (char** e = environ; *e; ++e) {
            if (std::string_view(*e).starts_with("LD_LIBRARY_PATH=")) continue;
            env_storage.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (auto& e : env_storage) envp.push_back(e.data());
        envp.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ChildResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

}  // namespace vt
