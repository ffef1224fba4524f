#include "shell/picbox/picture_geometry.h"

#include <algorithm>

namespace vt {

TargetRect place_picture(DisplayMode mode, int box_width, int box_height, int picture_width, int picture_height) {
    if (mode == DisplayMode::top_left) return {0, 0, picture_width, picture_height};
    TargetRect r{0, 0, box_width, box_height};
    if (box_width >= picture_width) {
        r.x = (box_width - picture_width) / 2;
        r.width = picture_width;
    }
    if (box_height >= picture_height) {
        r.y = (box_height - picture_height) / 2;
        r.height = picture_height;
    }
    if (r.width < picture_width || r.height < picture_height) {
        const double s = std::min(static_cast<double>(r.width) / picture_width, static_cast<double>(r.height) / picture_height);
        // Truncated toward zero, as the products fall in double precision.
        const int scaled_width = static_cast<int>(picture_width * s);
        const int scaled_height = static_cast<int>(picture_height * s);
        r.x += (r.width - scaled_width) / 2;
        r.y += (r.height - scaled_height) / 2;
        r.width = scaled_width;
        r.height = scaled_height;
    }
    return r;
}

}  // namespace vt
