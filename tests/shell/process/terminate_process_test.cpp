#include "shell/process/terminate_process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/shell/binding/child_process.h"

namespace vt {
namespace {

TEST(TerminateProcess, EndsTheCallingProcessAtOnceWithZero) {
    const ChildResult result = run_child(child_program(), {"terminate-self"}, {});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "before\n") << "no buffered output flushed, nothing after the call";
}

TEST(TerminateProcess, AnotherProcessIsEnded) {
    const pid_t sleeper = ::fork();
    if (sleeper == 0) {
        ::pause();
        ::_exit(0);
    }
    const ChildResult result = run_child(child_program(), {"terminate", std::to_string(sleeper)}, {});
    int raw = 0;
    ::waitpid(sleeper, &raw, 0);
    EXPECT_EQ(result.out, "true\n");
    EXPECT_TRUE(WIFSIGNALED(raw));
}

TEST(TerminateProcess, AProcessThatDoesNotExistGivesFalseAndTheCallerGoesOn) {
    // A pid that was just reaped is free.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const ChildResult result = run_child(child_program(), {"terminate", std::to_string(gone)}, {});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "false\n");
}

TEST(TerminateProcess, BadHandlesFailWithoutCrashing) {
    EXPECT_FALSE(terminate_process(-1));
    EXPECT_FALSE(terminate_process(0));
}

}  // namespace
}  // namespace vt
