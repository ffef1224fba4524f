#include "shell/window/start_program.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "core/fatal_error.h"
#include "resources/builtin_data.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/process/terminate_process.h"
#include "shell/window/placement.h"

namespace vt {

namespace {

std::optional<RgbaImage> decode_icon(std::span<const std::uint8_t> png) {
    auto decoder = open_picture(png);
    if (!decoder) return std::nullopt;
    auto frame = decoder.value()->frame(0, decoder.value()->size());
    if (!frame) return std::nullopt;
    return std::move(frame.value().image);
}

// Keeps every window built for the life of the process.
MainWindow& keep_for_process_life(std::unique_ptr<MainWindow> window) {
    static std::vector<std::unique_ptr<MainWindow>> windows;
    windows.push_back(std::move(window));
    return *windows.back();
}

}  // namespace

int start_program(WindowSystem& system, std::span<const LayoutRow> layout_rows, WindowActions actions) {
    const std::string folder = system.executable_folder();
    if (!folder.empty()) {
        std::error_code ignored;  // the program runs on from wherever it is
        std::filesystem::current_path(folder, ignored);
    }

    std::optional<WindowLayout> layout = read_layout(layout_rows);
    if (!layout) fatal_error(LAYOUT_LOAD_FAILURE);

    const std::optional<ScreenSize> screen = system.primary_screen_size();
    if (!screen) fatal_error(WINDOW_LOAD_FAILURE);
    const Rect& client = layout->window().bounds;
    const Point position = centred_position(screen->width, screen->height, client.width, client.height);

    if (!actions.end_program) actions.end_program = [] { terminate_process(); };
    MainWindow& window =
        keep_for_process_life(std::make_unique<MainWindow>(system, std::move(*layout), std::move(actions)));
    if (!window.build(SKIN_PICTURE, decode_icon(WINDOW_ICON), position)) fatal_error(WINDOW_LOAD_FAILURE);

    system.run_event_loop();
    return 0;
}

}  // namespace vt
