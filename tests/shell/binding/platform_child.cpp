// A small program the binding and termination tests run as a child.
//   platform_child terminate-self     busy threads, then terminate_process()
//   platform_child terminate PID      terminate_process(PID), prints the result
//   platform_child process-id         prints what entry GetCurrentProcessId gives
//   platform_child process-id-worker  the same, bound and called on a worker thread
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "platform/kernel32/process_functions.h"
#include "shell/binding/platform_functions.h"
#include "shell/process/terminate_process.h"

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "terminate-self") {
        std::thread sleeper([] { std::this_thread::sleep_for(std::chrono::hours(1)); });
        std::thread writer([] {
            for (;;) std::fputs("w", stderr);
        });
        sleeper.detach();
        writer.detach();
        std::printf("before\n");
        std::fflush(stdout);
        std::printf("buffered-after");  // would appear if anything flushed stdout
        vt::terminate_process();
        std::printf("returned\n");
        return 3;
    }
    if (mode == "terminate" && argc > 2) {
        const bool ended = vt::terminate_process(std::atoi(argv[2]));
        std::printf("%s\n", ended ? "true" : "false");
        return 0;
    }
    const auto print_process_id = [] {
        std::printf("%u\n", vt::platform_function<GetCurrentProcessIdFunction>(vt::PF_GET_CURRENT_PROCESS_ID)());
    };
    if (mode == "process-id") {
        print_process_id();
        return 0;
    }
    if (mode == "process-id-worker") {
        std::thread worker(print_process_id);
        worker.join();
        return 0;
    }
    return 2;
}
