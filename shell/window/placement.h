// Where the window opens: centred on the primary screen.
#pragma once

#include "shell/window/geometry.h"

namespace vt {

// ((screen - window) / 2) on each axis, in integer division (towards zero),
// so an odd remainder leaves the window a pixel left of or above the centre.
constexpr Point centred_position(int screen_width, int screen_height, int window_width, int window_height) noexcept {
    return {(screen_width - window_width) / 2, (screen_height - window_height) / 2};
}

}  // namespace vt
