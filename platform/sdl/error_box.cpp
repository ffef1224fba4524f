#include "platform/sdl/error_box.h"

#include <SDL2/SDL.h>

#include <mutex>

namespace vt {

bool show_error_box(const char* caption, const char* message) {
    // Two boxes at once from two threads would share SDL's message-box
    // state; the process ends after the first anyway.
    static std::mutex one_box_at_a_time;
    const std::lock_guard lock(one_box_at_a_time);
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, message, nullptr) == 0;
}

}  // namespace vt
