// The window's built-in layout: one row per control, in stacking order.
#pragma once

#include <span>
#include <string_view>

#include "shell/picbox/pic_box.h"

namespace vt {

enum class ControlKind { window, pic_box, trans_label };

struct LayoutRow {
    std::string_view name;    // GBK, as the system's texts are
    ControlKind kind;
    std::string_view parent;  // empty for the top-level window
    int x;                    // relative to the parent's client area
    int y;
    int width;
    int height;
    bool visible_at_start;
};

// The control names, GBK-encoded.
inline constexpr std::string_view MAIN_WINDOW_NAME = "MainWindow";
inline constexpr std::string_view CLOSE_ZONE_NAME = "\xB9\xD8\xB1\xD5";          // 关闭
inline constexpr std::string_view MINIMIZE_ZONE_NAME = "\xD7\xEE\xD0\xA1\xBB\xAF";  // 最小化
inline constexpr std::string_view TOUCH_ZONE_NAME = "\xB4\xA5\xBF\xD8";           // 触控
inline constexpr std::string_view PICTURE_FRAME_NAME = "\xB8\xA3\xBF\xF2";        // 福框
inline constexpr std::string_view SKIN_BOX_NAME = "UI";

// Row 0 is the window; an earlier row lies above every later row of the same
// parent. The window's own x and y are a design position the placement
// ignores: it is centred at creation.
extern const std::span<const LayoutRow> MAIN_LAYOUT;

// How each picture box of the layout draws. A box that is not listed fits
// its picture and starts with none.
struct PicBoxSetting {
    std::string_view name;
    DisplayMode mode;
    bool starts_with_skin;  // SKIN_PICTURE; otherwise no picture at start
};

extern const std::span<const PicBoxSetting> PIC_BOX_SETTINGS;

}  // namespace vt
