#include "shell/window/main_window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "resources/builtin_data.h"
#include "shell/window/main_layout.h"
#include "shell/window/start_program.h"
#include "tests/shell/window/fake_window_system.h"

namespace vt {
namespace {

using testing::FakeWindowSystem;

struct Counts {
    int refreshes = 0;
    int ends = 0;
};

// A built window on the fake system, with handlers that count.
struct Fixture {
    FakeWindowSystem system;
    Counts counts;
    MainWindow window{system, *read_layout(MAIN_LAYOUT),
                      WindowActions{[this](MainWindow&) { ++counts.refreshes; }, [this] { ++counts.ends; }}};
    Fixture() { EXPECT_TRUE(window.build(SKIN_PICTURE, std::nullopt, {10, 20})); }
};

TEST(MainWindow, BuildsHiddenThenShowsWithTheSkinBoxOnlyVisible) {
    Fixture f;
    ASSERT_TRUE(f.system.created);
    EXPECT_EQ(f.system.created->caption, "Vellumo-Tarnwick2019");
    EXPECT_EQ(f.system.created->width, 266);
    EXPECT_EQ(f.system.created->height, 255);
    EXPECT_EQ(f.system.created->position, (Point{10, 20}));
    EXPECT_EQ(f.system.calls, (std::vector<std::string>{"create", "show"}));
    ASSERT_NE(f.window.pic_box(SKIN_BOX_NAME), nullptr);
    ASSERT_NE(f.window.picture_frame(), nullptr);
    EXPECT_EQ(f.window.pic_box(CLOSE_ZONE_NAME), nullptr) << "a label is no picture box";
    EXPECT_TRUE(f.window.pic_box(SKIN_BOX_NAME)->visible());
    EXPECT_FALSE(f.window.picture_frame()->visible());
    EXPECT_EQ(f.counts.refreshes, 0) << "nothing fetches before the window is active";
}

TEST(MainWindow, FailsWhenTheWindowCannotBeCreated) {
    FakeWindowSystem system;
    system.creation_fails = true;
    MainWindow window(system, *read_layout(MAIN_LAYOUT), {});
    EXPECT_FALSE(window.build(SKIN_PICTURE, std::nullopt, {}));
    EXPECT_EQ(system.calls, (std::vector<std::string>{"create"}));
}

TEST(MainWindow, FirstActivationStartsOneRefreshPerRun) {
    Fixture f;
    f.window.activated();
    EXPECT_EQ(f.counts.refreshes, 1);
    // Restored from the taskbar, the window is activated again.
    f.window.set_window_state(WindowState::minimized);
    f.window.activated();
    f.window.activated();
    EXPECT_EQ(f.counts.refreshes, 1);
}

TEST(MainWindow, TheZonesDoWhatTheirEventsSay) {
    struct Case {
        const char* what;
        Point press;
        Point release;
        int refreshes;
        int ends;
        bool minimized;
        bool moved;
    };
    const Case cases[] = {
        {"press in the touch zone fetches", {100, 100}, {100, 100}, 1, 0, false, false},
        {"press and release in close ends on the release", {250, 10}, {250, 10}, 0, 1, false, false},
        {"press in touch, release in close ends", {100, 100}, {262, 32}, 1, 1, false, false},
        {"press in close, release outside does nothing", {250, 10}, {150, 10}, 0, 0, false, false},
        {"press in close, release in minimize minimizes", {250, 10}, {220, 10}, 0, 0, true, false},
        {"release in minimize minimizes", {220, 10}, {220, 10}, 0, 0, true, false},
        {"the frame's top row drags", {100, 34}, {100, 34}, 0, 0, false, true},
        {"the bottom band drags", {100, 240}, {100, 240}, 0, 0, false, true},
        {"the title band drags", {100, 10}, {100, 10}, 0, 0, false, true},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.system.left_press(c.press);
        f.system.left_release(c.release);
        const auto called = [&](const char* what) {
            return std::count(f.system.calls.begin(), f.system.calls.end(), what) > 0;
        };
        EXPECT_EQ(f.counts.refreshes, c.refreshes) << c.what;
        EXPECT_EQ(f.counts.ends, c.ends) << c.what;
        EXPECT_EQ(called("minimize"), c.minimized) << c.what;
        EXPECT_EQ(called("move"), c.moved) << c.what;
    }
}

TEST(MainWindow, OtherButtonsDoNothing) {
    Fixture f;
    for (const MouseButton button : {MouseButton::right, MouseButton::middle, MouseButton::other}) {
        for (const Point at : {Point{100, 100}, Point{250, 10}, Point{220, 10}, Point{100, 240}}) {
            f.window.mouse_button(button, true, at, 0);
            f.window.mouse_button(button, false, at, 0);
        }
    }
    EXPECT_EQ(f.counts.refreshes, 0);
    EXPECT_EQ(f.counts.ends, 0);
    EXPECT_EQ(f.system.calls, (std::vector<std::string>{"create", "show"}));
}

TEST(MainWindow, DoubleClickInTheTouchZoneFetchesOnceAndATripleTwice) {
    Fixture f;
    for (std::uint32_t t : {0u, 100u}) {
        f.system.left_press({100, 100}, t);
        f.system.left_release({100, 100}, t + 50);
    }
    EXPECT_EQ(f.counts.refreshes, 1);
    f.system.left_press({100, 100}, 200);
    EXPECT_EQ(f.counts.refreshes, 2);
}

TEST(MainWindow, PaintsTheSkinAndThenTheFrameOverIt) {
    Fixture f;
    f.window.paint();
    ASSERT_TRUE(f.system.last_frame);
    const RgbaImage skin_only = *f.system.last_frame;
    ASSERT_EQ(skin_only.width, 266);
    ASSERT_EQ(skin_only.height, 255);
    const RgbaImage skin = f.window.pic_box(SKIN_BOX_NAME)->render();
    // The frame shows the skin box's pixels where it covers the window.
    for (const Point p : {Point{0, 0}, Point{133, 128}, Point{265, 254}, Point{250, 15}}) {
        const std::size_t in_frame = (static_cast<std::size_t>(p.y) * 266 + static_cast<std::size_t>(p.x)) * 4;
        const std::size_t in_skin = (static_cast<std::size_t>(p.y) * static_cast<std::size_t>(skin.width) +
                                     static_cast<std::size_t>(p.x)) * 4;
        for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(skin_only.pixels[in_frame + ch], skin.pixels[in_skin + ch]);
    }
    // An empty frame, once shown, is a plain square in the button-face colour
    // over the artwork; its top row too.
    f.window.picture_frame()->set_visible(true);
    f.window.paint();
    const RgbaImage& with_frame = *f.system.last_frame;
    for (const Point p : {Point{40, 34}, Point{228, 222}, Point{133, 128}}) {
        const std::size_t at = (static_cast<std::size_t>(p.y) * 266 + static_cast<std::size_t>(p.x)) * 4;
        EXPECT_EQ(with_frame.pixels[at], BUTTON_FACE.r);
        EXPECT_EQ(with_frame.pixels[at + 1], BUTTON_FACE.g);
        EXPECT_EQ(with_frame.pixels[at + 2], BUTTON_FACE.b);
    }
    // Just outside the frame the artwork stays.
    for (const Point p : {Point{39, 100}, Point{229, 100}, Point{100, 223}}) {
        const std::size_t at = (static_cast<std::size_t>(p.y) * 266 + static_cast<std::size_t>(p.x)) * 4;
        EXPECT_EQ(with_frame.pixels[at], skin_only.pixels[at]);
    }
}

TEST(MainWindow, PictureBoxesReachTheWindowSystemThroughTheirHost) {
    Fixture f;
    const int before = f.system.repaint_requests;
    f.window.request_repaint();
    EXPECT_EQ(f.system.repaint_requests, before + 1);
    bool ran = false;
    f.window.run_later_on_window_thread(50, [&] { ran = true; });
    ASSERT_EQ(f.system.pending_tasks.size(), 1u);
    f.system.pending_tasks.front()();
    EXPECT_TRUE(ran);
}

TEST(StartProgram, EntersTheExecutableFolderCentresTheWindowAndReturnsZero) {
    const std::filesystem::path before = std::filesystem::current_path();
    FakeWindowSystem system;
    system.folder = ::testing::TempDir();
    system.screen = ScreenSize{1025, 769};
    bool activated_in_loop = false;
    system.user = [&] {
        system.events->activated();
        activated_in_loop = true;
    };
    int refreshes = 0;
    EXPECT_EQ(start_program(system, MAIN_LAYOUT, {[&](MainWindow&) { ++refreshes; }, [] {}}), 0);
    const std::filesystem::path now = std::filesystem::current_path();
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::equivalent(now, system.folder));
    ASSERT_TRUE(system.created);
    EXPECT_EQ(system.created->position, (Point{379, 257})) << "(1025 - 266) / 2, (769 - 255) / 2";
    ASSERT_TRUE(system.created->icon);
    EXPECT_EQ(system.created->icon->width, 48);
    EXPECT_EQ(system.created->icon->height, 48);
    EXPECT_EQ(system.calls, (std::vector<std::string>{"create", "show", "loop"}));
    EXPECT_TRUE(activated_in_loop);
    EXPECT_EQ(refreshes, 1);
}

TEST(StartProgramDeathTest, UnreadableLayoutOrWindowEndsWithStatus255) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const LayoutRow broken[] = {{"MainWindow", ControlKind::pic_box, "", 0, 0, 266, 255, true}};
    EXPECT_EXIT(
        {
            FakeWindowSystem system;
            start_program(system, broken, {});
        },
        ::testing::ExitedWithCode(255), "window layout data could not be loaded");
    EXPECT_EXIT(
        {
            FakeWindowSystem system;
            system.creation_fails = true;
            start_program(system, MAIN_LAYOUT, {});
        },
        ::testing::ExitedWithCode(255), "start-up window could not be loaded");
    EXPECT_EXIT(
        {
            FakeWindowSystem system;
            system.screen.reset();
            start_program(system, MAIN_LAYOUT, {});
        },
        ::testing::ExitedWithCode(255), "start-up window could not be loaded");
}

}  // namespace
}  // namespace vt
