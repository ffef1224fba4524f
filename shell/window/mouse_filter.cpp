#include "shell/window/mouse_filter.h"

#include "shell/window/hit_test.h"

namespace vt {

bool MouseFilter::left_press_moves_window(const std::vector<bool>& visible, Point at) const {
    const int control = control_at(layout_, visible, at);
    if (control == NO_CONTROL) return false;
    // The bare window moves as well; it has no press handler to miss.
    const ControlKind kind = layout_.controls[static_cast<std::size_t>(control)].kind;
    return kind == ControlKind::window || kind == ControlKind::pic_box;
}

std::optional<Delivery> MouseFilter::left_pressed(const std::vector<bool>& visible, Point at, std::uint32_t time_ms) {
    if (left_press_moves_window(visible, at)) {
        window_moved();
        return std::nullopt;
    }
    const int control = control_at(layout_, visible, at);
    if (control == NO_CONTROL) return std::nullopt;
    const bool double_click = clicks_.press(control, at, time_ms);
    return Delivery{control, double_click ? ControlEvent::double_clicked : ControlEvent::left_pressed};
}

std::optional<Delivery> MouseFilter::left_released(const std::vector<bool>& visible, Point at) const {
    const int control = control_at(layout_, visible, at);
    if (control == NO_CONTROL) return std::nullopt;
    return Delivery{control, ControlEvent::left_released};
}

}  // namespace vt
