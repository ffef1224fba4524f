#include "core/fatal_error.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace vt {

namespace {

constexpr const char* ERROR_CAPTION = "Error";
constexpr const char* ERROR_HEADLINE = "A run-time error occurred.";

std::atomic<ErrorBoxFunction> installed_error_box{nullptr};

[[noreturn]] void show_and_end(const std::string& message) {
    const ErrorBoxFunction show = installed_error_box.load(std::memory_order_acquire);
    if (show == nullptr || !show(ERROR_CAPTION, message.c_str())) {
        const std::string text = std::string(ERROR_CAPTION) + ": " + message + "\n";
        // write(2) rather than stdio: nothing buffered of the program may be
        // flushed on the way out.
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t written = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
            if (written <= 0) break;
            done += static_cast<std::size_t>(written);
        }
    }
    // No destructors, exit handlers or stream flushes run after the box.
    std::_Exit(255);
}

}  // namespace

void install_error_box(ErrorBoxFunction show) noexcept { installed_error_box.store(show, std::memory_order_release); }

std::string_view runtime_error_description(std::int32_t code) noexcept {
    switch (code) {
        case 1: return "An array index is above the array's defined range.";
        case 4: return "An array index is below 1.";
        default: return "An unexpected run-time fault.";
    }
}

void fatal_runtime_error(std::int32_t code) {
    show_and_end(std::string(ERROR_HEADLINE) + "\nError code: " + std::to_string(code) + "\n" +
                 std::string(runtime_error_description(code)));
}

void fatal_error(std::string_view description) {
    show_and_end(std::string(ERROR_HEADLINE) + "\n" + std::string(description));
}

}  // namespace vt
