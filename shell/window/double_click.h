// Tells a double-click from two presses, per control: the window system
// counts clicks per top-level window, and our controls live inside one.
#pragma once

#include <cstdint>
#include <optional>

#include "shell/window/geometry.h"

namespace vt {

// The common desktop defaults.
inline constexpr std::uint32_t DOUBLE_CLICK_TIME_MS = 500;
inline constexpr int DOUBLE_CLICK_DISTANCE = 4;  // in each direction

class DoubleClickTracker {
public:
    // True when this left press on `control` completes a double-click: the
    // previous press was on the same control, at most DOUBLE_CLICK_TIME_MS
    // earlier and DOUBLE_CLICK_DISTANCE away. A press that completes one
    // starts no new sequence, so the press after it is ordinary again.
    // `time_ms` is a wrapping millisecond clock.
    bool press(int control, Point at, std::uint32_t time_ms) noexcept;
    // Breaks the current sequence (a press that went elsewhere).
    void forget() noexcept { last_.reset(); }

private:
    struct Press {
        int control;
        Point at;
        std::uint32_t time_ms;
    };
    std::optional<Press> last_;
};

}  // namespace vt
