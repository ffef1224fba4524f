// Where a picture lands in a box: its target rectangle by display mode.
#pragma once

#include "shell/picbox/pic_box.h"

namespace vt {

struct TargetRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const TargetRect&, const TargetRect&) = default;
};

// top_left: at the corner, natural size. fit: centred, shrunk (never
// enlarged) to fit with its proportions kept; centring takes two integer
// halvings, so it may land a pixel left of or above the exact centre.
TargetRect place_picture(DisplayMode mode, int box_width, int box_height, int picture_width, int picture_height);

}  // namespace vt
