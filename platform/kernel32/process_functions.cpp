// The process stand-in library: the three process functions the program
// binds by name, over POSIX.
#include "platform/kernel32/process_functions.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// Handles are positions in this table plus one, never addresses, so a
// made-up or stale handle is recognised and refused.
struct HandleTable {
    std::mutex lock;
    std::vector<pid_t> processes;
};

HandleTable& handles() {
    static HandleTable* table = new HandleTable;  // never destroyed: usable during exit
    return *table;
}

ProcessHandle to_handle(std::size_t position) { return reinterpret_cast<ProcessHandle>(position + 1); }

bool process_exists(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::uint32_t GetCurrentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

__attribute__((visibility("default"))) ProcessHandle OpenProcess(std::uint32_t desired_access, std::int32_t,
                                                                 std::uint32_t process_id) {
    const auto pid = static_cast<pid_t>(process_id);
    if ((desired_access & PROCESS_TERMINATE) == 0 || !process_exists(pid)) return nullptr;
    HandleTable& table = handles();
    const std::lock_guard guard(table.lock);
    // Handles are never closed, so one per process keeps the table as small
    // as the set of processes ever opened.
    auto slot = std::find(table.processes.begin(), table.processes.end(), pid);
    if (slot == table.processes.end()) slot = table.processes.insert(slot, pid);
    return to_handle(static_cast<std::size_t>(slot - table.processes.begin()));
}

__attribute__((visibility("default"))) std::int32_t TerminateProcess(ProcessHandle process, std::uint32_t exit_code) {
    const auto slot = reinterpret_cast<std::uintptr_t>(process);
    pid_t pid = 0;
    {
        HandleTable& table = handles();
        const std::lock_guard guard(table.lock);
        if (slot == 0 || slot > table.processes.size()) return 0;
        pid = table.processes[slot - 1];
    }
    if (pid == ::getpid()) {
        // At once, from any thread: no destructors, exit handlers or
        // buffered output of the program.
        ::_exit(static_cast<int>(exit_code & 0xFF));
    }
    return ::kill(pid, SIGKILL) == 0 ? 1 : 0;
}

}  // extern "C"
