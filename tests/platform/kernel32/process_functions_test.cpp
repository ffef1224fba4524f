// The process stand-in library, loaded as the program loads it.
#include "platform/kernel32/process_functions.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "shell/binding/platform_functions.h"

namespace {

class ProcessFunctions : public testing::Test {
protected:
    // Like the program, the test never unloads the library once loaded:
    // its handle table lives as long as the process.
    void SetUp() override {
        void* library = vt::load_platform_library("kernel32.dll");
        ASSERT_NE(library, nullptr) << ::dlerror();
        current_process_id = reinterpret_cast<GetCurrentProcessIdFunction*>(::dlsym(library, "GetCurrentProcessId"));
        open_process = reinterpret_cast<OpenProcessFunction*>(::dlsym(library, "OpenProcess"));
        terminate_process = reinterpret_cast<TerminateProcessFunction*>(::dlsym(library, "TerminateProcess"));
        ASSERT_TRUE(current_process_id && open_process && terminate_process);
    }

    // A child that waits to be ended.
    static pid_t start_sleeper() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (;;) ::pause();
        }
        return pid;
    }

    // The id of a process that has just ended and been reaped.
    static pid_t ended_process() {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(0);
        ::waitpid(pid, nullptr, 0);
        return pid;
    }

    GetCurrentProcessIdFunction* current_process_id = nullptr;
    OpenProcessFunction* open_process = nullptr;
    TerminateProcessFunction* terminate_process = nullptr;
};

TEST_F(ProcessFunctions, CurrentProcessIdIsThisProcess) {
    EXPECT_EQ(current_process_id(), static_cast<std::uint32_t>(::getpid()));
}

// No handle for these; in particular 0 and -1 must never reach kill(2),
// where they would mean the process group or every process.
TEST_F(ProcessFunctions, OpenProcessRefusesWhatItCannotEnd) {
    const auto self = static_cast<std::uint32_t>(::getpid());
    const struct {
        const char* what;
        std::uint32_t access;
        std::uint32_t process_id;
    } cases[] = {
        {"ended process", PROCESS_TERMINATE, static_cast<std::uint32_t>(ended_process())},
        {"id 0", PROCESS_TERMINATE, 0},
        {"id -1", PROCESS_TERMINATE, 0xFFFFFFFFu},
        {"id beyond pid_t", PROCESS_TERMINATE, 0x80000000u},
        {"no right to terminate", 0, self},
    };
    for (const auto& c : cases) EXPECT_EQ(open_process(c.access, 0, c.process_id), nullptr) << c.what;
}

TEST_F(ProcessFunctions, BadHandlesFailWithoutCrashing) {
    const ProcessHandle handles[] = {
        nullptr,
        reinterpret_cast<ProcessHandle>(~std::uintptr_t{0}),
        reinterpret_cast<ProcessHandle>(std::uintptr_t{0x7fff0000}),
    };
    for (ProcessHandle handle : handles) EXPECT_EQ(terminate_process(handle, 0), 0) << handle;
}

TEST_F(ProcessFunctions, EndsAnotherProcess) {
    const pid_t sleeper = start_sleeper();
    const ProcessHandle handle = open_process(PROCESS_TERMINATE, 0, static_cast<std::uint32_t>(sleeper));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(open_process(PROCESS_TERMINATE, 0, static_cast<std::uint32_t>(sleeper)), handle)
        << "one handle per process";
    EXPECT_EQ(terminate_process(handle, 0), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(sleeper, &status, 0), sleeper);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(terminate_process(handle, 0), 0) << "the process is gone";
}

// The calling process ends with the given code from a thread other than
// the main one; exit handlers do not run (this one would change the code).
TEST_F(ProcessFunctions, EndsTheCallingProcessFromAnyThreadWithTheGivenCode) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::atexit([] { ::_exit(99); });
        const ProcessHandle self = open_process(PROCESS_TERMINATE, 0, current_process_id());
        std::thread([&] { terminate_process(self, 7); }).join();
        std::exit(98);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
