// A test-only build of the program that fails on purpose, to show the error
// box in a real window system:
//   window_probe broken-layout  start-up with a layout that cannot be read
//   window_probe worker-errors  on first activation two workers raise
//                               run-time errors at the same moment
// and a helper that renders what the picture frame should show:
//   window_probe frame-rendering PICTURE OUT.ppm
//                               decodes PICTURE into a box like the frame,
//                               writes its pixels as a binary PPM and prints
//                               the frame's bounds in the window: x y w h
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "core/fatal_error.h"
#include "platform/sdl/error_box.h"
#include "platform/sdl/sdl_window_system.h"
#include "shell/window/main_layout.h"
#include "shell/window/start_program.h"
#include "shell/window/window_layout.h"

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

int write_frame_rendering(const char* picture_path, const char* output_path) {
    const std::optional<vt::WindowLayout> layout = vt::read_layout(vt::MAIN_LAYOUT);
    if (!layout) return 2;
    const int frame_index = layout->find(vt::PICTURE_FRAME_NAME);
    if (frame_index < 0) return 2;
    const vt::Rect bounds = layout->controls[static_cast<std::size_t>(frame_index)].bounds;
    vt::DisplayMode mode = vt::DisplayMode::fit;
    for (const vt::PicBoxSetting& setting : vt::PIC_BOX_SETTINGS) {
        if (setting.name == vt::PICTURE_FRAME_NAME) mode = setting.mode;
    }

    std::ifstream picture_file(picture_path, std::ios::binary);
    if (!picture_file) return 2;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(picture_file), {}};
    // No animation: a still picture, or the first frame of an animated one.
    vt::PicBox frame(bounds.width, bounds.height, mode, vt::BUTTON_FACE, false);
    frame.set_picture(vt::Bytes(std::move(bytes)));
    frame.set_visible(true);
    const vt::RgbaImage pixels = frame.render();

    std::ofstream output(output_path, std::ios::binary);
    output << "P6\n" << pixels.width << ' ' << pixels.height << "\n255\n";
    for (std::size_t at = 0; at < pixels.pixels.size(); at += 4) {
        output.write(reinterpret_cast<const char*>(pixels.pixels.data() + at), 3);
    }
    if (!output) return 2;
    std::printf("%d %d %d %d\n", bounds.x, bounds.y, bounds.width, bounds.height);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "frame-rendering" && argc == 4) return write_frame_rendering(argv[2], argv[3]);
    vt::install_error_box(vt::show_error_box);
    vt::SdlWindowSystem window_system;
    if (mode == "broken-layout") std::_Exit(start_with_broken_layout(window_system));
    if (mode == "worker-errors") std::_Exit(start_with_failing_workers(window_system));
    return 2;
}
