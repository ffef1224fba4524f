// Platform functions the program calls by name, bound on first use from
// their libraries (the executable's folder first, then the normal search).
// A function that cannot be bound ends the process through the error box.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace vt {

struct PlatformFunction {
    const char* library;   // as the table names it; empty: the standard libraries
    const char* function;
    std::atomic<void*> address{nullptr};         // set once, then never changed
    std::atomic<void*> library_handle{nullptr};
};

enum PlatformFunctionIndex : int {
    PF_INTERNET_OPEN = 0,
    PF_INTERNET_CLOSE_HANDLE = 1,
    PF_INTERNET_CONNECT = 2,
    PF_HTTP_OPEN_REQUEST = 3,
    PF_HTTP_SEND_REQUEST = 4,           // the GET form
    PF_HTTP_SEND_REQUEST_WITH_BODY = 5, // the same function, bound separately
    PF_INTERNET_READ_FILE = 6,
    PF_HTTP_QUERY_INFO = 7,
    PF_OPEN_PROCESS = 8,
    PF_TERMINATE_PROCESS = 9,
    PF_GET_CURRENT_PROCESS_ID = 10,
    PLATFORM_FUNCTION_COUNT = 11,
};

extern PlatformFunction PLATFORM_FUNCTIONS[PLATFORM_FUNCTION_COUNT];

// The address of entry `index`, binding it first when needed. Safe from any
// thread; once bound, a plain atomic load. Does not return on failure.
void* platform_function_address(int index);

// The file a library of the table is looked for as: "wininet.dll" is
// "libwininet.so" (lower case, "lib" before, ".so" for ".dll", in any case).
// A name without ".dll" is taken as a file name already.
std::string library_file_name(std::string_view library);

// Loads a library by its table name: first from the folder that holds the
// executable, then by the system's normal search. Null when neither has it.
void* load_platform_library(std::string_view library);

template <class Function>
Function* platform_function(int index) {
    return reinterpret_cast<Function*>(platform_function_address(index));
}

}  // namespace vt
