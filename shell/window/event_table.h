// Every event of the window's controls that has a handler. An event that is
// not listed has no effect.
#pragma once

#include <string_view>

namespace vt {

enum class ControlEvent { created, first_activated, left_pressed, left_released, double_clicked };

enum class Handler {
    none,
    start_refresh,      // fetch a new picture
    terminate_process,  // end the program at once
    minimize_window,
};

Handler handler_for(std::string_view control_name, ControlEvent event) noexcept;

}  // namespace vt
