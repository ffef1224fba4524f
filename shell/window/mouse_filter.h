// Decides where each left-button message of the window goes: a press on a
// picture box or the bare window moves the window like a title bar; every
// other message goes to the topmost control under the pointer, with no
// capture.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "shell/window/double_click.h"
#include "shell/window/event_table.h"
#include "shell/window/geometry.h"
#include "shell/window/window_layout.h"

namespace vt {

struct Delivery {
    int control;
    ControlEvent event;
    friend bool operator==(const Delivery&, const Delivery&) = default;
};

class MouseFilter {
public:
    explicit MouseFilter(const WindowLayout& layout) : layout_(layout) {}

    // Whether a left press at `at` moves the window instead of reaching a
    // control. `visible[i]` says whether control i shows now.
    bool left_press_moves_window(const std::vector<bool>& visible, Point at) const;

    // A left press: the control it reaches and as what (pressed, or
    // double-clicked when it completes one); nothing when it moves the window
    // or lies outside.
    std::optional<Delivery> left_pressed(const std::vector<bool>& visible, Point at, std::uint32_t time_ms);
    // A left release goes to the control under the pointer now.
    std::optional<Delivery> left_released(const std::vector<bool>& visible, Point at) const;

    // A press moved the window without passing through left_pressed (the
    // window system took it): it still breaks a click sequence.
    void window_moved() noexcept { clicks_.forget(); }

private:
    const WindowLayout& layout_;
    DoubleClickTracker clicks_;
};

}  // namespace vt
