// The process functions of the process stand-in library, as the program
// binds them by name. Declared by us for our own stand-in.
#pragma once

#include <cstdint>

extern "C" {
using ProcessHandle = void*;
using GetCurrentProcessIdFunction = std::uint32_t();
using OpenProcessFunction = ProcessHandle(std::uint32_t desired_access, std::int32_t inherit_handle, std::uint32_t process_id);
using TerminateProcessFunction = std::int32_t(ProcessHandle process, std::uint32_t exit_code);
}

inline constexpr std::uint32_t PROCESS_TERMINATE = 1;
