#include "platform/sdl/sdl_window_system.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>

namespace vt {

namespace {

// The class the desktop groups the window under (WM_CLASS on X11).
constexpr const char* WINDOW_CLASS = "Vellumo-Tarnwick";

// User event codes of the wake-up event.
constexpr Sint32 WAKE_REPAINT = 1;
constexpr Sint32 WAKE_TASK = 2;

using Task = std::function<void()>;

void set_hints() {
    // The software framebuffer: the GPU path costs several times the memory
    // and start-up time for a window this small.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Otherwise the first press on an inactive window is lost.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // A desktop window, not a game: leave the compositor alone.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Signals end the process as they normally do, not as a quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL reads the X11 class from its environment at window creation.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", WINDOW_CLASS, 1);
}

SDL_HitTestResult hit_test(SDL_Window*, const SDL_Point* area, void* data) {
    auto* system = static_cast<SdlWindowSystem*>(data);
    return system->hit_test_drags({area->x, area->y}) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

// A task on its way from a timer to the window's thread.
struct TimedTask {
    Uint32 wake_event;
    Task task;
};

// Runs on SDL's timer thread: hands the task to the window's thread.
Uint32 post_task(Uint32, void* param) {
    std::unique_ptr<TimedTask> timed(static_cast<TimedTask*>(param));
    SDL_Event event{};
    event.type = timed->wake_event;
    event.user.code = WAKE_TASK;
    event.user.data1 = timed.get();
    if (SDL_PushEvent(&event) == 1) timed.release();  // NOLINT(bugprone-unused-return-value): the event loop owns it now
    return 0;  // once
}

MouseButton button_of(Uint8 sdl_button) {
    switch (sdl_button) {
        case SDL_BUTTON_LEFT: return MouseButton::left;
        case SDL_BUTTON_MIDDLE: return MouseButton::middle;
        case SDL_BUTTON_RIGHT: return MouseButton::right;
        default: return MouseButton::other;
    }
}

}  // namespace

std::string SdlWindowSystem::executable_folder() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) return {};
    std::string folder(base);
    SDL_free(base);
    return folder;
}

bool SdlWindowSystem::start_video() {
    if (video_started_) return true;
    set_hints();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) return false;
    // With no display SDL falls back to drivers that show nothing; a window
    // nobody can see or close is no window.
    const char* name = SDL_GetCurrentVideoDriver();
    const std::string_view driver = name != nullptr ? name : "";
    if (driver == "offscreen" || driver == "dummy") return false;
    wake_event_ = SDL_RegisterEvents(1);
    if (wake_event_ == static_cast<std::uint32_t>(-1)) return false;
    video_started_ = true;
    return true;
}

std::optional<ScreenSize> SdlWindowSystem::primary_screen_size() {
    if (!start_video()) return std::nullopt;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) != 0) return std::nullopt;
    return ScreenSize{bounds.w, bounds.h};
}

bool SdlWindowSystem::create_window(const WindowSettings& settings, WindowEvents& events) {
    if (!start_video()) return false;
    events_ = &events;
    window_ = SDL_CreateWindow(settings.caption.c_str(), settings.position.x, settings.position.y, settings.width,
                               settings.height, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (window_ == nullptr) return false;
    if (settings.icon) {
        // SDL wants writable pixels for a surface it only reads (the icon is copied).
        RgbaImage icon = *settings.icon;
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(icon.pixels.data(), icon.width, icon.height, 32,
                                                                  icon.width * 4, SDL_PIXELFORMAT_RGBA32);
        if (surface != nullptr) {
            SDL_SetWindowIcon(window_, surface);
            SDL_FreeSurface(surface);
        }
    }
    SDL_SetWindowHitTest(window_, hit_test, this);
    return true;
}

void SdlWindowSystem::show_window() { SDL_ShowWindow(window_); }

void SdlWindowSystem::minimize_window() {
    const Uint32 flags = SDL_GetWindowFlags(window_);
    if ((flags & SDL_WINDOW_SHOWN) != 0 && (flags & SDL_WINDOW_MINIMIZED) == 0) SDL_MinimizeWindow(window_);
}

void SdlWindowSystem::present(const RgbaImage& frame) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return;
    const int width = std::min(frame.width, surface->w);
    const int height = std::min(frame.height, surface->h);
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGBA32, frame.pixels.data(), frame.width * 4,
                      surface->format->format, surface->pixels, surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
}

bool SdlWindowSystem::hit_test_drags(Point at) {
    const bool drags = events_->left_press_moves_window(at);
    if (drags) last_drag_press_ = at;
    return drags;
}

void SdlWindowSystem::begin_own_move() {
    events_->window_move_started();
    // A window manager answers by grabbing the pointer, and motion no longer
    // reaches the window; without one, the motion that does arrive moves it.
    own_move_anchor_ = last_drag_press_;
}

void SdlWindowSystem::follow_pointer(Point pointer) {
    // The press itself went to the move, so SDL's own button state does not
    // know the button is down; ask for the real one.
    if ((SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) == 0) {
        own_move_anchor_.reset();
        return;
    }
    int x = 0, y = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    const Point to{x + pointer.x - own_move_anchor_->x, y + pointer.y - own_move_anchor_->y};
    if (to.x != x || to.y != y) SDL_SetWindowPosition(window_, to.x, to.y);
}

void SdlWindowSystem::run_event_loop() {
    SDL_Event event;
    while (window_ != nullptr && SDL_WaitEvent(&event) != 0) {
        switch (event.type) {
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (event.button.which == SDL_TOUCH_MOUSEID) break;
                if (event.button.button == SDL_BUTTON_LEFT) own_move_anchor_.reset();
                events_->mouse_button(button_of(event.button.button), event.type == SDL_MOUSEBUTTONDOWN,
                                      {event.button.x, event.button.y}, event.button.timestamp);
                break;
            case SDL_MOUSEMOTION:
                if (own_move_anchor_) follow_pointer({event.motion.x, event.motion.y});
                break;
            case SDL_WINDOWEVENT:
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_GAINED: events_->activated(); break;
                    case SDL_WINDOWEVENT_EXPOSED: events_->paint(); break;
                    case SDL_WINDOWEVENT_HIT_TEST: begin_own_move(); break;
                    case SDL_WINDOWEVENT_CLOSE:
                        // The close command destroys the window, and with it
                        // the loop ends.
                        SDL_DestroyWindow(window_);
                        window_ = nullptr;
                        break;
                    default: break;
                }
                break;
            default:
                if (event.type == wake_event_) {
                    if (event.user.code == WAKE_REPAINT) {
                        repaint_pending_.store(false);
                        events_->paint();
                    } else if (event.user.code == WAKE_TASK) {
                        const std::unique_ptr<TimedTask> timed(static_cast<TimedTask*>(event.user.data1));
                        timed->task();
                    }
                }
                break;
        }
    }
}

void SdlWindowSystem::request_repaint() {
    // One repaint waiting is enough, however many boxes ask.
    if (repaint_pending_.exchange(true)) return;
    SDL_Event event{};
    event.type = wake_event_;
    event.user.code = WAKE_REPAINT;
    if (SDL_PushEvent(&event) != 1) repaint_pending_.store(false);
}

void SdlWindowSystem::run_later(int delay_ms, std::function<void()> task) {
    auto owned = std::make_unique<TimedTask>(TimedTask{wake_event_, std::move(task)});
    // The timer owns the task until its callback hands it to the event queue.
    const Uint32 delay = static_cast<Uint32>(std::max(delay_ms, 1));
    if (SDL_AddTimer(delay, post_task, owned.get()) != 0) owned.release();  // NOLINT(bugprone-unused-return-value): the timer owns it now
}

}  // namespace vt
