#include "shell/window/compose_frame.h"

#include <algorithm>
#include <cstring>

namespace vt {

namespace {

constexpr std::size_t RGBA = 4;

// Copies the part of `source`, placed at `bounds.x, bounds.y`, that lies in
// `clip` into `frame`.
void blit(RgbaImage& frame, const RgbaImage& source, const Rect& bounds, const Rect& clip) {
    const Rect source_area{bounds.x, bounds.y, source.width, source.height};
    const Rect area = intersect(intersect(source_area, clip), Rect{0, 0, frame.width, frame.height});
    if (area.empty()) return;
    for (int y = area.y; y < area.y + area.height; ++y) {
        const std::size_t from = (static_cast<std::size_t>(y - bounds.y) * static_cast<std::size_t>(source.width) +
                                  static_cast<std::size_t>(area.x - bounds.x)) * RGBA;
        const std::size_t to =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) + static_cast<std::size_t>(area.x)) * RGBA;
        std::memcpy(frame.pixels.data() + to, source.pixels.data() + from, static_cast<std::size_t>(area.width) * RGBA);
    }
}

void paint_control(RgbaImage& frame, const WindowLayout& layout, const std::vector<bool>& visible,
                   const RenderControl& render, int control) {
    const auto index = static_cast<std::size_t>(control);
    if (!visible[index]) return;
    const ControlLayout& c = layout.controls[index];
    if (control != 0) {
        const std::optional<RgbaImage> pixels = render(control);
        // A rendering of the wrong size is not trusted with the frame.
        if (pixels && pixels->width > 0 && pixels->height > 0 &&
            pixels->pixels.size() ==
                          static_cast<std::size_t>(pixels->width) * static_cast<std::size_t>(pixels->height) * RGBA) {
            blit(frame, *pixels, c.bounds, c.visible_area);
        }
    }
    for (auto child = c.children.rbegin(); child != c.children.rend(); ++child) {
        paint_control(frame, layout, visible, render, *child);
    }
}

}  // namespace

RgbaImage compose_frame(const WindowLayout& layout, const std::vector<bool>& visible, Rgb background,
                        const RenderControl& render) {
    RgbaImage frame;
    frame.width = layout.window().bounds.width;
    frame.height = layout.window().bounds.height;
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height) * RGBA);
    for (std::size_t at = 0; at < frame.pixels.size(); at += RGBA) {
        frame.pixels[at] = background.r;
        frame.pixels[at + 1] = background.g;
        frame.pixels[at + 2] = background.b;
        frame.pixels[at + 3] = 255;
    }
    paint_control(frame, layout, visible, render, 0);
    return frame;
}

}  // namespace vt
