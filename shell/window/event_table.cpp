#include "shell/window/event_table.h"

#include <array>

#include "shell/window/main_layout.h"

namespace vt {

namespace {

struct EventHandlerRow {
    std::string_view control;
    ControlEvent event;
    Handler handler;
};

constexpr std::array<EventHandlerRow, 4> EVENT_TABLE{{
    {MAIN_WINDOW_NAME, ControlEvent::first_activated, Handler::start_refresh},
    {CLOSE_ZONE_NAME, ControlEvent::left_released, Handler::terminate_process},
    {MINIMIZE_ZONE_NAME, ControlEvent::left_released, Handler::minimize_window},
    {TOUCH_ZONE_NAME, ControlEvent::left_pressed, Handler::start_refresh},
}};

}  // namespace

Handler handler_for(std::string_view control_name, ControlEvent event) noexcept {
    for (const EventHandlerRow& row : EVENT_TABLE) {
        if (row.control == control_name && row.event == event) return row.handler;
    }
    return Handler::none;
}

}  // namespace vt
