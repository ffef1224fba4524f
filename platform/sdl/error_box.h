// The error box: an owner-less message box with the error icon.
#pragma once

namespace vt {

// Shows the box and returns when the user has closed it. Safe from any
// thread; a second caller waits for the first box. False when no box can be
// shown (no display).
bool show_error_box(const char* caption, const char* message);

}  // namespace vt
