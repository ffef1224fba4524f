#include "shell/window/window_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "shell/window/main_layout.h"

namespace vt {
namespace {

std::vector<std::string> names(const WindowLayout& layout, const std::vector<int>& controls) {
    std::vector<std::string> out;
    for (const int c : controls) out.push_back(layout.controls[static_cast<std::size_t>(c)].name);
    return out;
}

TEST(MainLayout, ReadsIntoTheStackedTree) {
    const std::optional<WindowLayout> layout = read_layout(MAIN_LAYOUT);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->controls.size(), 6u);
    const int ui = layout->find(SKIN_BOX_NAME);
    ASSERT_EQ(ui, 5);

    // The close zone lies above the skin box; inside the skin box the
    // minimize zone lies above the touch zone, which lies above the frame.
    EXPECT_EQ(names(*layout, layout->controls[0].children),
              (std::vector<std::string>{std::string(CLOSE_ZONE_NAME), "UI"}));
    EXPECT_EQ(names(*layout, layout->controls[5].children),
              (std::vector<std::string>{std::string(MINIMIZE_ZONE_NAME), std::string(TOUCH_ZONE_NAME),
                                        std::string(PICTURE_FRAME_NAME)}));
    // The children of UI are created after UI, which is the last row.
    const std::vector<int>& order = layout->creation_order;
    const auto position = [&](int c) { return std::find(order.begin(), order.end(), c) - order.begin(); };
    ASSERT_EQ(order.size(), 6u);
    for (int c = 1; c < 6; ++c) EXPECT_LT(position(layout->controls[static_cast<std::size_t>(c)].parent), position(c));
}

TEST(MainLayout, PlacesControlsInWindowCoordinatesClippedToTheWindow) {
    const WindowLayout layout = *read_layout(MAIN_LAYOUT);
    struct Expected {
        std::string_view name;
        Rect bounds;
        Rect visible_area;
    };
    const Expected table[] = {
        {MAIN_WINDOW_NAME, {0, 0, 266, 255}, {0, 0, 266, 255}},
        {CLOSE_ZONE_NAME, {239, 1, 24, 32}, {239, 1, 24, 32}},
        {MINIMIZE_ZONE_NAME, {208, 1, 24, 32}, {208, 1, 24, 32}},
        {TOUCH_ZONE_NAME, {0, 35, 264, 189}, {0, 35, 264, 189}},
        {PICTURE_FRAME_NAME, {40, 34, 189, 189}, {40, 34, 189, 189}},
        {SKIN_BOX_NAME, {0, 0, 272, 256}, {0, 0, 266, 255}},  // larger than the window
    };
    for (const Expected& e : table) {
        const int c = layout.find(e.name);
        ASSERT_GE(c, 0) << e.name;
        EXPECT_EQ(layout.controls[static_cast<std::size_t>(c)].bounds, e.bounds) << e.name;
        EXPECT_EQ(layout.controls[static_cast<std::size_t>(c)].visible_area, e.visible_area) << e.name;
    }
}

TEST(StackRows, PlacesEachRowBelowItsNearestEarlierSiblingOrOnTop) {
    struct Case {
        std::vector<int> parents;
        std::vector<std::vector<int>> children;
    };
    const Case cases[] = {
        // The window's own shape: siblings of one parent keep row order even
        // when a parent comes after its children.
        {{-1, 0, 5, 5, 5, 0}, {{1, 5}, {}, {}, {}, {}, {2, 3, 4}}},
        // Interleaved parents: each parent's children in row order.
        {{-1, 0, 1, 0, 1, 2}, {{1, 3}, {2, 4}, {5}, {}, {}, {}}},
        {{-1}, {{}}},
        {{-1, 0}, {{1}, {}}},
    };
    for (const Case& c : cases) EXPECT_EQ(stack_rows(c.parents), c.children);
}

TEST(ReadLayout, RefusesRowsThatMakeNoWindow) {
    const std::array<LayoutRow, 6> good = {MAIN_LAYOUT[0], MAIN_LAYOUT[1], MAIN_LAYOUT[2],
                                           MAIN_LAYOUT[3], MAIN_LAYOUT[4], MAIN_LAYOUT[5]};
    struct Case {
        const char* what;
        void (*spoil)(std::array<LayoutRow, 6>&);
    };
    const Case cases[] = {
        {"row 0 is not a window", [](auto& r) { r[0].kind = ControlKind::pic_box; }},
        {"row 0 has a parent", [](auto& r) { r[0].parent = "UI"; }},
        {"a second window", [](auto& r) { r[3].kind = ControlKind::window; }},
        {"unknown parent", [](auto& r) { r[2].parent = "nowhere"; }},
        {"own parent", [](auto& r) { r[5].parent = "UI"; }},
        {"parents in a cycle", [](auto& r) { r[5].parent = TOUCH_ZONE_NAME; }},
        {"repeated name", [](auto& r) { r[3].name = "UI"; }},
        {"empty name", [](auto& r) { r[1].name = ""; }},
        {"zero width", [](auto& r) { r[4].width = 0; }},
        {"negative height", [](auto& r) { r[0].height = -255; }},
        {"coordinate beyond 16 bits", [](auto& r) { r[1].x = 40000; }},
    };
    ASSERT_TRUE(read_layout(good));
    for (const Case& c : cases) {
        std::array<LayoutRow, 6> rows = good;
        c.spoil(rows);
        EXPECT_FALSE(read_layout(rows)) << c.what;
    }
    EXPECT_FALSE(read_layout(std::span<const LayoutRow>{})) << "no rows";
}

}  // namespace
}  // namespace vt
