#include "shell/binding/platform_functions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/shell/binding/child_process.h"

namespace vt {
namespace {

namespace fs = std::filesystem;

TEST(PlatformFunctions, LibraryFileNames) {
    const struct {
        const char* library;
        const char* file;
    } cases[] = {
        {"wininet.dll", "libwininet.so"},
        {"Kernel32.dll", "libkernel32.so"},
        {"KERNEL32.DLL", "libkernel32.so"},
        {"libc.so.6", "libc.so.6"},        // already a file name
        {".dll", ".dll"},                  // no base name
    };
    for (const auto& c : cases) EXPECT_EQ(library_file_name(c.library), c.file) << c.library;
}

// The test executable sits beside the project's stand-ins, so every entry of
// the table must bind: a misspelt name would end this process with the
// failure text naming it.
TEST(PlatformFunctions, EveryEntryBindsFromTheProjectsLibraries) {
    // The second HttpSendRequestA entry is bound on its own, not through the first.
    ASSERT_NE(platform_function_address(PF_HTTP_SEND_REQUEST), nullptr);
    EXPECT_EQ(PLATFORM_FUNCTIONS[PF_HTTP_SEND_REQUEST_WITH_BODY].address.load(), nullptr);
    EXPECT_EQ(platform_function_address(PF_HTTP_SEND_REQUEST_WITH_BODY),
              platform_function_address(PF_HTTP_SEND_REQUEST));

    for (int index = 0; index < PLATFORM_FUNCTION_COUNT; ++index) {
        const PlatformFunction& entry = PLATFORM_FUNCTIONS[index];
        void* address = platform_function_address(index);
        EXPECT_NE(address, nullptr) << entry.function;
        EXPECT_EQ(entry.address.load(), address) << entry.function;
        EXPECT_NE(entry.library_handle.load(), nullptr) << entry.function;
    }
}

// The copy beside the executable wins over the one the normal search finds.
TEST(PlatformFunctions, ExecutableFolderComesBeforeTheNormalSearch) {
    const TempFolder own;
    const TempFolder system;
    fs::copy_file(child_program(), own.path / "platform_child");
    fs::copy_file(bin_folder() / "libkernel32_marker_own.so", own.path / "libkernel32.so");
    fs::copy_file(bin_folder() / "libkernel32_marker_system.so", system.path / "libkernel32.so");
    const std::string library_path = "LD_LIBRARY_PATH=" + system.path.string();

    const ChildResult beside = run_child(own.path / "platform_child", {"process-id"}, {library_path});
    EXPECT_EQ(beside.status, 0);
    EXPECT_EQ(beside.out, "1111\n");

    fs::remove(own.path / "libkernel32.so");
    const ChildResult searched = run_child(own.path / "platform_child", {"process-id"}, {library_path});
    EXPECT_EQ(searched.status, 0);
    EXPECT_EQ(searched.out, "2222\n");
}

// A function that cannot be bound ends the process with status 255 and the
// failure text, whichever thread bound it; nothing buffered is flushed.
TEST(PlatformFunctions, BindingFailureShowsTheTextAndEndsWith255) {
    const struct {
        const char* what;
        const char* stand_in;  // copied beside the child as libkernel32.so; none when null
        const char* mode;
        std::vector<std::string> named;
        std::vector<std::string> not_named;
        const char* out;
    } cases[] = {
        {"library missing", nullptr, "terminate-self",
         {"GetCurrentProcessId", "kernel32.dll", "(libkernel32.so)"}, {}, "before\n"},
        {"library missing, bound on a worker", nullptr, "process-id-worker",
         {"GetCurrentProcessId", "kernel32.dll"}, {}, ""},
        // The stand-in in the standard list lacks OpenProcess, and so does libc.
        {"function missing from every standard library", "libkernel32_marker_own.so", "terminate-self",
         {"OpenProcess"}, {".dll", ".so"}, "before\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TempFolder folder;
        fs::copy_file(child_program(), folder.path / "platform_child");
        if (c.stand_in) fs::copy_file(bin_folder() / c.stand_in, folder.path / "libkernel32.so");
        const ChildResult result = run_child(folder.path / "platform_child", {c.mode});
        EXPECT_EQ(result.status, 255);
        EXPECT_EQ(result.out, c.out);
        for (const auto& text : c.named) EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
        for (const auto& text : c.not_named) EXPECT_EQ(result.err.find(text), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace vt
