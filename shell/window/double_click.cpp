#include "shell/window/double_click.h"

#include <cstdlib>

namespace vt {

bool DoubleClickTracker::press(int control, Point at, std::uint32_t time_ms) noexcept {
    const bool completes = last_ && last_->control == control &&
                           static_cast<std::uint32_t>(time_ms - last_->time_ms) <= DOUBLE_CLICK_TIME_MS &&
                           std::abs(at.x - last_->at.x) <= DOUBLE_CLICK_DISTANCE &&
                           std::abs(at.y - last_->at.y) <= DOUBLE_CLICK_DISTANCE;
    if (completes) {
        last_.reset();
    } else {
        last_ = Press{control, at, time_ms};
    }
    return completes;
}

}  // namespace vt
