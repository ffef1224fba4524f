// What the window needs from the platform's window system: one top-level
// window, its input, its framebuffer, timers and a thread-safe wake-up. A
// real backend and a fake one for tests implement it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "shell/picbox/pic_box.h"
#include "shell/window/geometry.h"

namespace vt {

enum class MouseButton { left, middle, right, other };

// What the window system reports, on the window's thread.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // Asked for each left press before it is delivered: true makes the
    // window system move the window with the pointer until the button goes
    // up, and the press is then not delivered.
    virtual bool left_press_moves_window(Point at) = 0;
    // A press started such a move.
    virtual void window_move_started() = 0;
    // A button went down or up at `at` (client coordinates), at `time_ms` on
    // a wrapping millisecond clock.
    virtual void mouse_button(MouseButton button, bool pressed, Point at, std::uint32_t time_ms) = 0;
    // The window became the active window.
    virtual void activated() = 0;
    // The window's pixels are needed (exposed, or a repaint was asked for).
    virtual void paint() = 0;
};

struct WindowSettings {
    std::string caption;        // UTF-8; ASCII for this window
    Point position;             // of the client area on the screen
    int width = 0;
    int height = 0;
    std::optional<RgbaImage> icon;  // large and small icon
};

struct ScreenSize {
    int width = 0;
    int height = 0;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // The folder that holds the executable, or empty when it is unknown.
    virtual std::string executable_folder() = 0;
    // The primary screen's size, or nothing when there is no screen.
    virtual std::optional<ScreenSize> primary_screen_size() = 0;

    // Creates the one top-level window, hidden: no border or title bar, a
    // taskbar button with the caption and icon, not kept on top, the arrow
    // pointer. False when it cannot be created. `events` must outlive it.
    virtual bool create_window(const WindowSettings& settings, WindowEvents& events) = 0;
    virtual void show_window() = 0;
    // Minimizes the window to its taskbar button when it is shown.
    virtual void minimize_window() = 0;
    // Puts a frame of the client area's size on the screen.
    virtual void present(const RgbaImage& frame) = 0;
    // Delivers events until the window is closed through the window system's
    // close command, which destroys it; then returns.
    virtual void run_event_loop() = 0;

    // Any thread: soon calls WindowEvents::paint on the window's thread.
    virtual void request_repaint() = 0;
    // Any thread: runs `task` on the window's thread after `delay_ms`.
    virtual void run_later(int delay_ms, std::function<void()> task) = 0;
};

}  // namespace vt
