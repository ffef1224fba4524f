// The window system over SDL2: one borderless top-level window painted
// through SDL's software framebuffer, its input, timers and wake-ups.
// Includers need no SDL headers.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "shell/window/window_system.h"

struct SDL_Window;

namespace vt {

class SdlWindowSystem final : public WindowSystem {
public:
    SdlWindowSystem() = default;
    SdlWindowSystem(const SdlWindowSystem&) = delete;
    SdlWindowSystem& operator=(const SdlWindowSystem&) = delete;
    // Leaves SDL running: the process ends without tearing it down, since a
    // worker pushing an event during SDL_Quit corrupts SDL's state.
    ~SdlWindowSystem() override = default;

    std::string executable_folder() override;
    std::optional<ScreenSize> primary_screen_size() override;
    bool create_window(const WindowSettings& settings, WindowEvents& events) override;
    void show_window() override;
    void minimize_window() override;
    void present(const RgbaImage& frame) override;
    void run_event_loop() override;
    void request_repaint() override;
    void run_later(int delay_ms, std::function<void()> task) override;

    // Called by SDL for a left press (X11): whether it drags the window.
    bool hit_test_drags(Point at);

private:
    bool start_video();
    void begin_own_move();
    void follow_pointer(Point pointer);

    bool video_started_ = false;
    SDL_Window* window_ = nullptr;  // lives until the process ends, or the close command
    WindowEvents* events_ = nullptr;
    std::uint32_t wake_event_ = 0;  // SDL user event type: repaints and tasks
    std::atomic<bool> repaint_pending_{false};
    Point last_drag_press_;
    // A drag the window system did not take over (no window manager): the
    // point of the window held under the pointer.
    std::optional<Point> own_move_anchor_;
};

}  // namespace vt
