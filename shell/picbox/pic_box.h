// A picture box: fills itself with its background colour and draws one
// picture over it, decoded from bytes that may come from anywhere.
// set_picture and set_visible are safe from any thread; rendering and
// animation ticks run on the window's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/text.h"

namespace vt {

enum class DisplayMode { top_left, fit };

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The button-face colour of the desktop, the boxes' background.
inline constexpr Rgb BUTTON_FACE{240, 240, 240};

// Pixels as R, G, B, A bytes, row after row, no padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// What a picture box needs from the window it lives in. Both calls are safe
// from any thread.
class PicBoxHost {
public:
    virtual ~PicBoxHost() = default;
    // Asks the window's thread to repaint soon; never paints from the caller.
    virtual void request_repaint() = 0;
    // Runs `tick` once on the window's thread after `delay_ms`.
    virtual void run_later_on_window_thread(int delay_ms, std::function<void()> tick) = 0;
};

class PicBox {
public:
    PicBox(int width, int height, DisplayMode mode, Rgb background, bool animate);
    ~PicBox();
    PicBox(const PicBox&) = delete;
    PicBox& operator=(const PicBox&) = delete;

    // The window attaches itself before any picture arrives; a box without a
    // host still decodes and renders (tests use it that way).
    void attach_host(PicBoxHost* host) noexcept;

    // Any thread. Discards the current picture at once, decodes on the
    // calling thread, then installs the result; the picture written last
    // stays. Never fails visibly.
    void set_picture(const Bytes& picture);
    void set_visible(bool visible);
    bool visible() const noexcept;

    int width() const noexcept;
    int height() const noexcept;

    // Window thread (or any thread in tests): the box's client area as it
    // should look now, background, picture and current frame.
    RgbaImage render() const;

    // Shared with the animation ticks, which outlive no box they refer to.
    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace vt
