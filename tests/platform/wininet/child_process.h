// A fixture process started by a test: its first output line is read back,
// and closing its input tells it to end.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vt {

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> arguments) {
        int input[2];
        int output[2];
        if (::pipe(input) != 0 || ::pipe(output) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, input[1]);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        input_ = input[1];
        output_ = output[0];
    }
    ~ChildProcess() {
        if (input_ >= 0) ::close(input_);
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::string first_line() {
        std::string line;
        char c;
        while (::read(output_, &c, 1) == 1 && c != '\n') line.push_back(c);
        return line;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

}  // namespace vt
