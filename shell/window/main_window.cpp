#include "shell/window/main_window.h"

#include <algorithm>
#include <utility>

#include "shell/window/compose_frame.h"
#include "shell/window/main_layout.h"

namespace vt {

namespace {

// The caption names the taskbar button; the window draws no title bar.
constexpr const char* MAIN_WINDOW_CAPTION = "Vellumo-Tarnwick2019";

const PicBoxSetting* setting_for(std::string_view name) {
    const auto found = std::find_if(PIC_BOX_SETTINGS.begin(), PIC_BOX_SETTINGS.end(),
                                    [&](const PicBoxSetting& s) { return s.name == name; });
    return found == PIC_BOX_SETTINGS.end() ? nullptr : &*found;
}

}  // namespace

MainWindow::MainWindow(WindowSystem& system, WindowLayout layout, WindowActions actions)
    : system_(system),
      layout_(std::move(layout)),
      actions_(std::move(actions)),
      boxes_(layout_.controls.size()),
      labels_shown_(layout_.controls.size(), false) {}

bool MainWindow::build(std::span<const std::uint8_t> skin, std::optional<RgbaImage> icon, Point position) {
    const ControlLayout& top = layout_.window();
    WindowSettings settings{MAIN_WINDOW_CAPTION, position, top.bounds.width, top.bounds.height, std::move(icon)};
    if (!system_.create_window(settings, *this)) return false;

    // Children after their parents, hidden until all exist.
    for (const int control : layout_.creation_order) {
        const ControlLayout& c = layout_.controls[static_cast<std::size_t>(control)];
        if (c.kind != ControlKind::pic_box) continue;
        const PicBoxSetting* setting = setting_for(c.name);
        auto box = std::make_unique<PicBox>(c.bounds.width, c.bounds.height,
                                            setting ? setting->mode : DisplayMode::fit, BUTTON_FACE, true);
        box->attach_host(this);
        if (setting && setting->starts_with_skin) box->set_picture(Bytes(skin));
        boxes_[static_cast<std::size_t>(control)] = std::move(box);
    }
    for (std::size_t control = 1; control < layout_.controls.size(); ++control) {
        if (!layout_.controls[control].visible_at_start) continue;
        if (boxes_[control]) {
            boxes_[control]->set_visible(true);
        } else {
            labels_shown_[control] = true;
        }
    }
    fire(0, ControlEvent::created);
    system_.show_window();
    return true;
}

PicBox* MainWindow::pic_box(std::string_view name) noexcept {
    const int control = layout_.find(name);
    return control < 0 ? nullptr : boxes_[static_cast<std::size_t>(control)].get();
}

PicBox* MainWindow::picture_frame() noexcept { return pic_box(PICTURE_FRAME_NAME); }

void MainWindow::set_window_state(WindowState state) {
    if (state == WindowState::minimized) system_.minimize_window();
}

std::vector<bool> MainWindow::visibility() const {
    std::vector<bool> visible(layout_.controls.size());
    visible[0] = true;
    for (std::size_t control = 1; control < visible.size(); ++control) {
        visible[control] = boxes_[control] ? boxes_[control]->visible() : labels_shown_[control];
    }
    return visible;
}

bool MainWindow::left_press_moves_window(Point at) { return filter_.left_press_moves_window(visibility(), at); }

void MainWindow::window_move_started() { filter_.window_moved(); }

void MainWindow::mouse_button(MouseButton button, bool pressed, Point at, std::uint32_t time_ms) {
    // No control has a handler for the other buttons.
    if (button != MouseButton::left) return;
    const std::optional<Delivery> delivery =
        pressed ? filter_.left_pressed(visibility(), at, time_ms) : filter_.left_released(visibility(), at);
    if (delivery) fire(delivery->control, delivery->event);
}

void MainWindow::activated() {
    if (first_activation_.take()) fire(0, ControlEvent::first_activated);
}

void MainWindow::paint() {
    const RenderControl render = [this](int control) -> std::optional<RgbaImage> {
        const std::unique_ptr<PicBox>& box = boxes_[static_cast<std::size_t>(control)];
        if (!box) return std::nullopt;  // labels draw nothing
        return box->render();
    };
    system_.present(compose_frame(layout_, visibility(), BUTTON_FACE, render));
}

void MainWindow::request_repaint() { system_.request_repaint(); }

void MainWindow::run_later_on_window_thread(int delay_ms, std::function<void()> tick) {
    system_.run_later(delay_ms, std::move(tick));
}

void MainWindow::fire(int control, ControlEvent event) {
    switch (handler_for(layout_.controls[static_cast<std::size_t>(control)].name, event)) {
        case Handler::none: break;
        case Handler::start_refresh:
            if (actions_.start_refresh) actions_.start_refresh(*this);
            break;
        case Handler::terminate_process:
            if (actions_.end_program) actions_.end_program();
            break;
        case Handler::minimize_window: set_window_state(WindowState::minimized); break;
    }
}

}  // namespace vt
