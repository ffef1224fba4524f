// Which control lies under a point of the window.
#pragma once

#include <vector>

#include "shell/window/geometry.h"
#include "shell/window/window_layout.h"

namespace vt {

inline constexpr int NO_CONTROL = -1;

// The topmost visible control whose visible area holds `at` (window
// coordinates): 0 for the bare window, NO_CONTROL outside the window.
// `visible[i]` says whether control i shows now; a hidden control hides its
// children too.
int control_at(const WindowLayout& layout, const std::vector<bool>& visible, Point at);

}  // namespace vt
