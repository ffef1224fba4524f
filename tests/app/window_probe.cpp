// A test-only build of the program that fails on purpose, to show the error
// box in a real window system:
//   window_probe broken-layout  start-up with a layout that cannot be read
//   window_probe worker-errors  on first activation two workers raise
//                               run-time errors at the same moment
#include <array>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "core/fatal_error.h"
#include "platform/sdl/error_box.h"
#include "platform/sdl/sdl_window_system.h"
#include "shell/window/start_program.h"

namespace {

int start_with_broken_layout(vt::WindowSystem& window_system) {
    std::array<vt::LayoutRow, 6> rows{};
    std::copy(vt::MAIN_LAYOUT.begin(), vt::MAIN_LAYOUT.end(), rows.begin());
    rows[4].parent = "U1";  // a parent no row names
    return vt::start_program(window_system, rows, {});
}

int start_with_failing_workers(vt::WindowSystem& window_system) {
    vt::WindowActions actions;
    actions.start_refresh = [](vt::MainWindow&) {
        for (const std::int32_t code : {1, 4}) std::thread([code] { vt::fatal_runtime_error(code); }).detach();
    };
    return vt::start_program(window_system, vt::MAIN_LAYOUT, std::move(actions));
}

}  // namespace

int main(int argc, char** argv) {
    vt::install_error_box(vt::show_error_box);
    vt::SdlWindowSystem window_system;
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "broken-layout") std::_Exit(start_with_broken_layout(window_system));
    if (mode == "worker-errors") std::_Exit(start_with_failing_workers(window_system));
    return 2;
}
