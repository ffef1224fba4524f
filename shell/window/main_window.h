// MainWindow: the one top-level window with its controls, built from the
// layout. It turns the window system's input into the controls' events and
// paints the controls into the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "shell/picbox/pic_box.h"
#include "shell/window/event_table.h"
#include "shell/window/first_activation.h"
#include "shell/window/mouse_filter.h"
#include "shell/window/window_layout.h"
#include "shell/window/window_system.h"

namespace vt {

class MainWindow;

// What the controls' handlers do beyond the window itself. Each runs on the
// window's thread and returns at once.
struct WindowActions {
    // Starts fetching a new picture into the picture frame; unset, nothing.
    std::function<void(MainWindow&)> start_refresh;
    // Ends the program at once.
    std::function<void()> end_program;
};

enum class WindowState { centred, minimized };

class MainWindow final : public WindowEvents, public PicBoxHost {
public:
    MainWindow(WindowSystem& system, WindowLayout layout, WindowActions actions);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window hidden at `position`, creates and stacks the
    // controls, shows those visible at start, fires the created event and
    // shows the window. False when the window cannot be created.
    bool build(std::span<const std::uint8_t> skin, std::optional<RgbaImage> icon, Point position);

    // The picture box named `name`, or null. Its operations are safe from
    // any thread.
    PicBox* pic_box(std::string_view name) noexcept;
    // The picture frame 福框, where fetched pictures go (null only for a
    // layout without one).
    PicBox* picture_frame() noexcept;

    // Minimizes the window when it is shown; nothing else.
    void set_window_state(WindowState state);

    // WindowEvents
    bool left_press_moves_window(Point at) override;
    void window_move_started() override;
    void mouse_button(MouseButton button, bool pressed, Point at, std::uint32_t time_ms) override;
    void activated() override;
    void paint() override;

    // PicBoxHost
    void request_repaint() override;
    void run_later_on_window_thread(int delay_ms, std::function<void()> tick) override;

private:
    std::vector<bool> visibility() const;
    void fire(int control, ControlEvent event);

    WindowSystem& system_;
    const WindowLayout layout_;
    WindowActions actions_;
    std::vector<std::unique_ptr<PicBox>> boxes_;  // by control; null for the others
    std::vector<bool> labels_shown_;              // by control; window thread only
    MouseFilter filter_{layout_};
    FirstActivation first_activation_;
};

}  // namespace vt
