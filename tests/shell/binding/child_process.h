// Runs a test child program and collects its status and output.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
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
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path = pattern;
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

// Runs `program` with `args` and waits for it. `environment` adds NAME=VALUE
// entries; the caller's LD_LIBRARY_PATH is never passed on, so the child's
// normal library search sees only what the test gives it.
inline ChildResult run_child(const std::filesystem::path& program, std::initializer_list<std::string> args,
                             std::initializer_list<std::string> environment = {}) {
    const TempFolder outputs;
    const auto out_file = outputs.path / "out";
    const auto err_file = outputs.path / "err";

    std::vector<std::string> arg_storage{program.string()};
    arg_storage.insert(arg_storage.end(), args);
    std::vector<char*> argv;
    for (auto& arg : arg_storage) argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_storage(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("LD_LIBRARY_PATH=")) env_storage.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& entry : env_storage) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + program.string());

    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ChildResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

}  // namespace vt
