#include "shell/window/mouse_filter.h"

#include <gtest/gtest.h>

#include "shell/window/event_table.h"
#include "shell/window/hit_test.h"
#include "shell/window/main_layout.h"

namespace vt {
namespace {

const WindowLayout& main_layout() {
    static const WindowLayout layout = *read_layout(MAIN_LAYOUT);
    return layout;
}

std::vector<bool> visible_controls(bool frame_visible) {
    std::vector<bool> visible(main_layout().controls.size(), true);
    visible[static_cast<std::size_t>(main_layout().find(PICTURE_FRAME_NAME))] = frame_visible;
    return visible;
}

// What a left press and a left release at a point of the window do.
TEST(MouseFilter, ZonesHoldToThePixel) {
    constexpr std::string_view MOVES = "moves the window";
    constexpr std::string_view NOTHING = "nothing";
    struct Case {
        Point at;
        std::string_view press;    // the control it reaches, MOVES or NOTHING
        std::string_view release;  // the control it reaches or NOTHING
    };
    const Case cases[] = {
        // The close zone's corners, and just outside each edge.
        {{239, 1}, CLOSE_ZONE_NAME, CLOSE_ZONE_NAME},
        {{262, 1}, CLOSE_ZONE_NAME, CLOSE_ZONE_NAME},
        {{239, 32}, CLOSE_ZONE_NAME, CLOSE_ZONE_NAME},
        {{262, 32}, CLOSE_ZONE_NAME, CLOSE_ZONE_NAME},
        {{238, 10}, MOVES, SKIN_BOX_NAME},
        {{263, 10}, MOVES, SKIN_BOX_NAME},
        {{250, 0}, MOVES, SKIN_BOX_NAME},
        {{250, 33}, MOVES, SKIN_BOX_NAME},
        // The minimize zone's corners, and just outside.
        {{208, 1}, MINIMIZE_ZONE_NAME, MINIMIZE_ZONE_NAME},
        {{231, 1}, MINIMIZE_ZONE_NAME, MINIMIZE_ZONE_NAME},
        {{208, 32}, MINIMIZE_ZONE_NAME, MINIMIZE_ZONE_NAME},
        {{231, 32}, MINIMIZE_ZONE_NAME, MINIMIZE_ZONE_NAME},
        {{207, 10}, MOVES, SKIN_BOX_NAME},
        {{232, 10}, MOVES, SKIN_BOX_NAME},
        // The touch zone's corners, and just outside.
        {{0, 35}, TOUCH_ZONE_NAME, TOUCH_ZONE_NAME},
        {{263, 35}, TOUCH_ZONE_NAME, TOUCH_ZONE_NAME},
        {{0, 223}, TOUCH_ZONE_NAME, TOUCH_ZONE_NAME},
        {{263, 223}, TOUCH_ZONE_NAME, TOUCH_ZONE_NAME},
        {{100, 100}, TOUCH_ZONE_NAME, TOUCH_ZONE_NAME},
        {{264, 100}, MOVES, SKIN_BOX_NAME},
        {{100, 224}, MOVES, SKIN_BOX_NAME},
        // The frame's top row, the title band and the bottom band drag.
        {{100, 34}, MOVES, SKIN_BOX_NAME},
        {{100, 10}, MOVES, SKIN_BOX_NAME},
        {{100, 240}, MOVES, SKIN_BOX_NAME},
        // The window's own corners, and outside it.
        {{0, 0}, MOVES, SKIN_BOX_NAME},
        {{265, 254}, MOVES, SKIN_BOX_NAME},
        {{266, 100}, NOTHING, NOTHING},
        {{100, 255}, NOTHING, NOTHING},
        {{-1, 100}, NOTHING, NOTHING},
    };
    for (const bool frame_visible : {false, true}) {
        const std::vector<bool> visible = visible_controls(frame_visible);
        for (const Case& c : cases) {
            MouseFilter filter(main_layout());
            const auto press = filter.left_pressed(visible, c.at, 0);
            const auto release = filter.left_released(visible, c.at);
            std::string_view pressed = NOTHING;
            if (filter.left_press_moves_window(visible, c.at)) {
                pressed = MOVES;
                EXPECT_FALSE(press) << "a press that moves the window is not delivered";
            } else if (press) {
                EXPECT_EQ(press->event, ControlEvent::left_pressed);
                pressed = main_layout().controls[static_cast<std::size_t>(press->control)].name;
            }
            std::string_view released = NOTHING;
            if (release) released = main_layout().controls[static_cast<std::size_t>(release->control)].name;
            // With the frame shown, its top row is the frame's, and still drags.
            std::string_view expected_release = c.release;
            if (frame_visible && c.at.y == 34 && c.at.x >= 40 && c.at.x <= 228) expected_release = PICTURE_FRAME_NAME;
            EXPECT_EQ(pressed, c.press) << c.at.x << "," << c.at.y << " frame visible " << frame_visible;
            EXPECT_EQ(released, expected_release) << c.at.x << "," << c.at.y << " frame visible " << frame_visible;
        }
    }
}

TEST(MouseFilter, HiddenParentHidesItsChildren) {
    std::vector<bool> visible = visible_controls(true);
    visible[static_cast<std::size_t>(main_layout().find(SKIN_BOX_NAME))] = false;
    EXPECT_EQ(control_at(main_layout(), visible, {100, 100}), 0) << "the bare window";
    EXPECT_EQ(control_at(main_layout(), visible, {250, 10}), main_layout().find(CLOSE_ZONE_NAME));
    // The bare window drags too.
    EXPECT_TRUE(MouseFilter(main_layout()).left_press_moves_window(visible, {100, 100}));
}

TEST(MouseFilter, SecondPressOnTheSameControlWithinTimeAndDistanceIsADoubleClick) {
    const std::vector<bool> visible = visible_controls(false);
    struct Press {
        Point at;
        std::uint32_t time_ms;
        ControlEvent expected;
    };
    struct Case {
        const char* what;
        std::vector<Press> presses;
    };
    constexpr auto P = ControlEvent::left_pressed;
    constexpr auto D = ControlEvent::double_clicked;
    const Case cases[] = {
        {"quick second press", {{{100, 100}, 1000, P}, {{100, 100}, 1500, D}}},
        {"too late", {{{100, 100}, 1000, P}, {{100, 100}, 1501, P}}},
        {"4 px away in both directions", {{{100, 100}, 1000, P}, {{104, 96}, 1100, D}}},
        {"5 px away", {{{100, 100}, 1000, P}, {{105, 100}, 1100, P}}},
        {"a triple click is a double-click and a press", {{{100, 100}, 0, P}, {{100, 100}, 100, D}, {{100, 100}, 200, P}}},
        {"four quick presses are two double-clicks",
         {{{100, 100}, 0, P}, {{100, 100}, 100, D}, {{100, 100}, 200, P}, {{100, 100}, 300, D}}},
        {"another control between", {{{230, 10}, 0, P}, {{240, 10}, 100, P}, {{230, 10}, 200, P}}},
        {"near but on another control", {{{231, 32}, 0, P}, {{231, 35}, 100, P}}},
        {"across the clock's wrap", {{{100, 100}, 0xFFFFFF00u, P}, {{100, 100}, 0x10u, D}}},
        {"a press that dragged breaks the sequence", {{{100, 100}, 0, P}, {{100, 10}, 50, P}, {{100, 100}, 100, P}}},
    };
    for (const Case& c : cases) {
        MouseFilter filter(main_layout());
        for (const Press& p : c.presses) {
            const auto delivery = filter.left_pressed(visible, p.at, p.time_ms);
            if (!delivery) continue;  // the drag press
            EXPECT_EQ(delivery->event, p.expected) << c.what << " at " << p.time_ms;
        }
    }
}

TEST(MouseFilter, MoveStartedByTheWindowSystemBreaksTheSequence) {
    const std::vector<bool> visible = visible_controls(false);
    MouseFilter filter(main_layout());
    filter.left_pressed(visible, {100, 100}, 0);
    filter.window_moved();
    EXPECT_EQ(filter.left_pressed(visible, {100, 100}, 100)->event, ControlEvent::left_pressed);
}

TEST(EventTable, OnlyTheListedEventsHaveHandlers) {
    struct Case {
        std::string_view control;
        ControlEvent event;
        Handler handler;
    };
    const Case cases[] = {
        {MAIN_WINDOW_NAME, ControlEvent::first_activated, Handler::start_refresh},
        {MAIN_WINDOW_NAME, ControlEvent::created, Handler::none},
        {CLOSE_ZONE_NAME, ControlEvent::left_released, Handler::terminate_process},
        {CLOSE_ZONE_NAME, ControlEvent::left_pressed, Handler::none},
        {MINIMIZE_ZONE_NAME, ControlEvent::left_released, Handler::minimize_window},
        {MINIMIZE_ZONE_NAME, ControlEvent::double_clicked, Handler::none},
        {TOUCH_ZONE_NAME, ControlEvent::left_pressed, Handler::start_refresh},
        {TOUCH_ZONE_NAME, ControlEvent::double_clicked, Handler::none},
        {TOUCH_ZONE_NAME, ControlEvent::left_released, Handler::none},
        {PICTURE_FRAME_NAME, ControlEvent::left_pressed, Handler::none},
        {SKIN_BOX_NAME, ControlEvent::left_released, Handler::none},
    };
    for (const Case& c : cases) EXPECT_EQ(handler_for(c.control, c.event), c.handler) << c.control;
}

}  // namespace
}  // namespace vt
