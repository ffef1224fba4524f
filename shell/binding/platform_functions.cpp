#include "shell/binding/platform_functions.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <climits>
#include <string>

#include "core/fatal_error.h"

namespace vt {

PlatformFunction PLATFORM_FUNCTIONS[PLATFORM_FUNCTION_COUNT] = {
    {"wininet.dll", "InternetOpenA"},
    {"wininet.dll", "InternetCloseHandle"},
    {"wininet.dll", "InternetConnectA"},
    {"wininet.dll", "HttpOpenRequestA"},
    {"wininet.dll", "HttpSendRequestA"},
    {"wininet.dll", "HttpSendRequestA"},
    {"wininet.dll", "InternetReadFile"},
    {"wininet.dll", "HttpQueryInfoA"},
    {"", "OpenProcess"},
    {"", "TerminateProcess"},
    {"kernel32.dll", "GetCurrentProcessId"},
};

namespace {

// Where an entry with no library looks, our process stand-in first.
constexpr std::array<const char*, 2> STANDARD_LIBRARIES = {"kernel32.dll", "libc.so.6"};

std::string executable_folder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string exe(path, static_cast<std::size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

std::string library_file_name(std::string_view library) {
    // "wininet.dll" -> "libwininet.so"; names that are already files stay.
    // The platform's library names ignore case, so "Kernel32.DLL" is the same.
    constexpr std::string_view SUFFIX = ".dll";
    std::string lower(library);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.size() <= SUFFIX.size() || !lower.ends_with(SUFFIX)) return std::string(library);
    lower.resize(lower.size() - SUFFIX.size());
    return "lib" + lower + ".so";
}

void* load_platform_library(std::string_view library) {
    const std::string file = library_file_name(library);
    const std::string beside_executable = executable_folder() + file;
    if (void* handle = ::dlopen(beside_executable.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

namespace {

struct Found {
    void* address = nullptr;
    void* library = nullptr;
};

Found look_up(const PlatformFunction& entry) {
    if (entry.library[0] != '\0') {
        void* library = load_platform_library(entry.library);
        if (library == nullptr) return {};
        if (void* address = ::dlsym(library, entry.function)) return {address, library};
        ::dlclose(library);
        return {};
    }
    for (const char* library_name : STANDARD_LIBRARIES) {
        void* library = load_platform_library(library_name);
        if (library == nullptr) continue;
        if (void* address = ::dlsym(library, entry.function)) return {address, library};
        ::dlclose(library);
    }
    return {};
}

[[noreturn]] void binding_failed(const PlatformFunction& entry) {
    std::string description = "The function ";
    description += entry.function;
    description += " could not be found";
    if (entry.library[0] != '\0') {
        description += " in the library ";
        description += entry.library;
        description += " (" + library_file_name(entry.library) + ")";
    }
    description += ".";
    fatal_error(description);
}

}  // namespace

void* platform_function_address(int index) {
    PlatformFunction& entry = PLATFORM_FUNCTIONS[index];
    if (void* bound = entry.address.load(std::memory_order_acquire)) return bound;

    const Found found = look_up(entry);
    if (found.address == nullptr) binding_failed(entry);
    // Two threads may bind at once: the first stored address wins and both
    // call it. The loser's reference is to a library the winner keeps loaded
    // (dlopen counts references), so giving it back unloads nothing.
    void* expected = nullptr;
    if (entry.address.compare_exchange_strong(expected, found.address, std::memory_order_acq_rel)) {
        entry.library_handle.store(found.library, std::memory_order_release);
        return found.address;
    }
    ::dlclose(found.library);
    return expected;
}

}  // namespace vt
