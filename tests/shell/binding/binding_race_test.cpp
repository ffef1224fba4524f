#include <gtest/gtest.h>
#include <unistd.h>

#include <barrier>
#include <thread>
#include <vector>

#include "platform/kernel32/process_functions.h"
#include "shell/binding/platform_functions.h"

namespace vt {
namespace {

TEST(PlatformFunctionBinding, EightThreadsBindingAtOnceCallTheSameFunction) {
    constexpr int THREADS = 8;
    // Many rounds, since a round may bind one thread after another.
    for (int round = 0; round < 50; ++round) {
        PLATFORM_FUNCTIONS[PF_GET_CURRENT_PROCESS_ID].address.store(nullptr);
        std::barrier start(THREADS);
        std::vector<std::uint32_t> answers(THREADS);
        std::vector<void*> called(THREADS);
        std::vector<std::thread> binders;
        for (int i = 0; i < THREADS; ++i) {
            binders.emplace_back([&, i] {
                start.arrive_and_wait();
                auto* function = platform_function<GetCurrentProcessIdFunction>(PF_GET_CURRENT_PROCESS_ID);
                called[i] = reinterpret_cast<void*>(function);
                answers[i] = function();
            });
        }
        for (auto& binder : binders) binder.join();
        for (int i = 0; i < THREADS; ++i) {
            ASSERT_EQ(called[i], called[0]);
            ASSERT_EQ(answers[i], static_cast<std::uint32_t>(::getpid()));
        }
        EXPECT_EQ(PLATFORM_FUNCTIONS[PF_GET_CURRENT_PROCESS_ID].address.load(), called[0]);
    }
}

}  // namespace
}  // namespace vt
