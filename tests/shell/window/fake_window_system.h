// A window system without a display: records what the window asks of it and
// lets a test play the part of the user.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/window/window_system.h"

namespace vt::testing {

class FakeWindowSystem : public WindowSystem {
public:
    std::string folder;
    std::optional<ScreenSize> screen = ScreenSize{1920, 1080};
    bool creation_fails = false;

    std::optional<WindowSettings> created;
    WindowEvents* events = nullptr;
    std::vector<std::string> calls;  // "create", "show", "minimize", "present", "loop"
    std::optional<RgbaImage> last_frame;
    int repaint_requests = 0;
    std::vector<std::function<void()>> pending_tasks;
    // Runs inside run_event_loop, standing in for the user.
    std::function<void()> user;

    std::string executable_folder() override { return folder; }
    std::optional<ScreenSize> primary_screen_size() override { return screen; }
    bool create_window(const WindowSettings& settings, WindowEvents& window_events) override {
        calls.emplace_back("create");
        if (creation_fails) return false;
        created = settings;
        events = &window_events;
        return true;
    }
    void show_window() override { calls.emplace_back("show"); }
    void minimize_window() override { calls.emplace_back("minimize"); }
    void present(const RgbaImage& frame) override {
        calls.emplace_back("present");
        last_frame = frame;
    }
    void run_event_loop() override {
        calls.emplace_back("loop");
        if (user) user();
    }
    void request_repaint() override { ++repaint_requests; }
    void run_later(int, std::function<void()> task) override { pending_tasks.push_back(std::move(task)); }

    // A left click as the window system would report it: asked first whether
    // it moves the window, delivered only when it does not.
    void left_press(Point at, std::uint32_t time_ms = 0) {
        if (events->left_press_moves_window(at)) {
            events->window_move_started();
            calls.emplace_back("move");
            return;
        }
        events->mouse_button(MouseButton::left, true, at, time_ms);
    }
    void left_release(Point at, std::uint32_t time_ms = 0) {
        events->mouse_button(MouseButton::left, false, at, time_ms);
    }
};

}  // namespace vt::testing
