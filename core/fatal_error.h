// The one way the program stops on a broken invariant or a failed start:
// an error box, then the process ends at once with exit code -1 (status 255).
#pragma once

#include <cstdint>
#include <string_view>

namespace vt {

// Shows a modal error box with `caption` and `message` and returns when the
// user has closed it. Must be callable from any thread, several at once.
// Returns false when no box could be shown (no display).
using ErrorBoxFunction = bool (*)(const char* caption, const char* message);

// Installed once by the window layer at start-up. Until one is installed (or
// when it cannot show a box) the text goes to standard error instead.
void install_error_box(ErrorBoxFunction show) noexcept;

// Error box naming the run-time error `code` and its one-line description;
// then the process ends with exit code -1. Runs no destructors, exit handlers
// or buffered-output flushes of the program.
[[noreturn]] void fatal_runtime_error(std::int32_t code);

// The same box and end for failures that carry no code: `description` is the
// one-line fault (a layout that cannot be read, a function that cannot be
// bound).
[[noreturn]] void fatal_error(std::string_view description);

// The fault description of a run-time error code.
std::string_view runtime_error_description(std::int32_t code) noexcept;

}  // namespace vt
