// The program: the window on SDL, its handlers wired to the picture refresh.
#include <cstdlib>
#include <utility>

#include "core/fatal_error.h"
#include "pictures/refresh_picture.h"
#include "platform/sdl/error_box.h"
#include "platform/sdl/sdl_window_system.h"
#include "shell/window/start_program.h"

int main() {
    vt::install_error_box(vt::show_error_box);
    vt::SdlWindowSystem window_system;
    vt::WindowActions actions;
    actions.start_refresh = [](vt::MainWindow& window) {
        if (vt::PicBox* frame = window.picture_frame()) vt::start_refresh(*frame);
    };
    const int status = vt::start_program(window_system, vt::MAIN_LAYOUT, std::move(actions));
    // Workers may still be running and posting to the window system: end
    // here, with nothing torn down under them.
    std::_Exit(status);
}
