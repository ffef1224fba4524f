#include "shell/window/main_layout.h"

#include <array>

namespace vt {

namespace {

constexpr std::array<LayoutRow, 6> MAIN_LAYOUT_ROWS{{
    {MAIN_WINDOW_NAME, ControlKind::window, "", 50, 50, 266, 255, true},
    {CLOSE_ZONE_NAME, ControlKind::trans_label, MAIN_WINDOW_NAME, 239, 1, 24, 32, true},
    {MINIMIZE_ZONE_NAME, ControlKind::trans_label, SKIN_BOX_NAME, 208, 1, 24, 32, true},
    {TOUCH_ZONE_NAME, ControlKind::trans_label, SKIN_BOX_NAME, 0, 35, 264, 189, true},
    {PICTURE_FRAME_NAME, ControlKind::pic_box, SKIN_BOX_NAME, 40, 34, 189, 189, false},
    // Larger than the window's client area, and clipped to it.
    {SKIN_BOX_NAME, ControlKind::pic_box, MAIN_WINDOW_NAME, 0, 0, 272, 256, true},
}};

constexpr std::array<PicBoxSetting, 2> PIC_BOX_SETTING_ROWS{{
    {SKIN_BOX_NAME, DisplayMode::top_left, true},
    {PICTURE_FRAME_NAME, DisplayMode::fit, false},
}};

}  // namespace

const std::span<const LayoutRow> MAIN_LAYOUT{MAIN_LAYOUT_ROWS};
const std::span<const PicBoxSetting> PIC_BOX_SETTINGS{PIC_BOX_SETTING_ROWS};

}  // namespace vt
