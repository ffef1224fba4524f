// Paints the controls into one frame of the window's client area.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "shell/picbox/pic_box.h"
#include "shell/window/window_layout.h"

namespace vt {

// The pixels of control i at its own size, or nothing for a control that
// draws nothing (a transparent label).
using RenderControl = std::function<std::optional<RgbaImage>(int control)>;

// The window's client area filled with `background`, then every visible
// control from the bottom of the stack up, a parent before its children,
// each clipped to its visible area.
RgbaImage compose_frame(const WindowLayout& layout, const std::vector<bool>& visible, Rgb background,
                        const RenderControl& render);

}  // namespace vt
