#include "shell/binding/platform_functions.h"

#include <gtest/gtest.h>

#include <barrier>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/kernel32/process_functions.h"
#include "tests/shell/binding/child_process.h"

namespace vt {
namespace {

namespace fs = std::filesystem;

TEST(PlatformFunctions, TableNamesEveryEntry) {
    EXPECT_STREQ(PLATFORM_FUNCTIONS[PF_HTTP_SEND_REQUEST].function, "HttpSendRequestA");
    EXPECT_STREQ(PLATFORM_FUNCTIONS[PF_HTTP_SEND_REQUEST_WITH_BODY].function, "HttpSendRequestA");
    EXPECT_STREQ(PLATFORM_FUNCTIONS[PF_INTERNET_OPEN].library, "wininet.dll");
    EXPECT_STREQ(PLATFORM_FUNCTIONS[PF_OPEN_PROCESS].library, "");
    EXPECT_STREQ(PLATFORM_FUNCTIONS[PF_GET_CURRENT_PROCESS_ID].library, "kernel32.dll");
}

TEST(PlatformFunctions, LibraryFileNames) {
    EXPECT_EQ(library_file_name("wininet.dll"), "libwininet.so");
    EXPECT_EQ(library_file_name("Kernel32.dll"), "libkernel32.so");
    EXPECT_EQ(library_file_name("libc.so.6"), "libc.so.6");
}

TEST(PlatformFunctions, EightThreadsBindingAtOnceCallTheSameFunction) {
    for (int round = 0; round < 20; ++round) {
        PLATFORM_FUNCTIONS[PF_GET_CURRENT_PROCESS_ID].address.store(nullptr);
        constexpr int threads = 8;
        std::barrier start(threads);
        std::vector<void*> seen(threads);
        std::vector<std::thread> binders;
        for (int i = 0; i < threads; ++i) {
            binders.emplace_back([&, i] {
                start.arrive_and_wait();
                seen[i] = platform_function_address(PF_GET_CURRENT_PROCESS_ID);
            });
        }
        for (auto& t : binders) t.join();
        for (void* address : seen) ASSERT_EQ(address, seen[0]);
        EXPECT_EQ(seen[0], PLATFORM_FUNCTIONS[PF_GET_CURRENT_PROCESS_ID].address.load());
        EXPECT_EQ(reinterpret_cast<GetCurrentProcessIdFunction*>(seen[0])(), static_cast<std::uint32_t>(::getpid()));
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

TEST(PlatformFunctions, MissingLibraryShowsTheFailureAndEndsWith255) {
    const TempFolder alone;
    fs::copy_file(child_program(), alone.path / "platform_child");
    const ChildResult result = run_child(alone.path / "platform_child", {"terminate-self"}, {});
    EXPECT_EQ(result.status, 255);
    EXPECT_NE(result.err.find("GetCurrentProcessId"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("kernel32.dll"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "before\n") << "nothing buffered is flushed on the way out";
}

TEST(PlatformFunctions, FunctionMissingFromAnEmptyLibraryEntryNamesOnlyTheFunction) {
    // The standard list holds our stand-in; a copy of it without
    // OpenProcess makes the entry unbindable.
    const TempFolder folder;
    fs::copy_file(child_program(), folder.path / "platform_child");
    fs::copy_file(bin_folder() / "libkernel32_marker_own.so", folder.path / "libkernel32.so");
    const ChildResult result = run_child(folder.path / "platform_child", {"terminate-self"}, {});
    EXPECT_EQ(result.status, 255);
    EXPECT_NE(result.err.find("OpenProcess"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(".dll"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace vt
