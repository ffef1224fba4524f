#include "shell/window/hit_test.h"

namespace vt {

int control_at(const WindowLayout& layout, const std::vector<bool>& visible, Point at) {
    if (!layout.window().visible_area.contains(at)) return NO_CONTROL;
    int found = 0;
    for (bool descended = true; descended;) {
        descended = false;
        for (const int child : layout.controls[static_cast<std::size_t>(found)].children) {
            const auto index = static_cast<std::size_t>(child);
            if (visible[index] && layout.controls[index].visible_area.contains(at)) {
                found = child;
                descended = true;
                break;
            }
        }
    }
    return found;
}

}  // namespace vt
