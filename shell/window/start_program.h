// The program's life on its main thread: from start to the end of the event
// loop.
#pragma once

#include <span>

#include "shell/window/main_layout.h"
#include "shell/window/main_window.h"
#include "shell/window/window_system.h"

namespace vt {

// What the error box says when start-up fails.
inline constexpr const char* LAYOUT_LOAD_FAILURE = "The window layout data could not be loaded.";
inline constexpr const char* WINDOW_LOAD_FAILURE = "The start-up window could not be loaded.";

// Enters the executable's folder, reads `layout_rows`, builds MainWindow
// centred on the primary screen, shows it and runs the event loop until the
// window is closed; then gives exit code 0. A layout that cannot be read or
// a window that cannot be built ends the process through the error box.
// An unset `actions.end_program` ends the process with terminate_process().
// The window is never destroyed: workers may still write to its picture
// frame when the loop ends, and the caller ends the process right away.
int start_program(WindowSystem& system, std::span<const LayoutRow> layout_rows, WindowActions actions);

}  // namespace vt
