// Points and rectangles in pixels, edges included on the left and top and
// excluded on the right and bottom.
#pragma once

#include <algorithm>

namespace vt {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const noexcept { return width <= 0 || height <= 0; }
    bool contains(Point p) const noexcept {
        return p.x >= x && p.y >= y && p.x - x < width && p.y - y < height;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect intersect(const Rect& a, const Rect& b) noexcept {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

}  // namespace vt
