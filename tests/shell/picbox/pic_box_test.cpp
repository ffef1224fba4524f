// What a box renders: geometry and blending to the pixel, empty boxes for
// anything undecodable, and animation on the host's timers.
#include "shell/picbox/pic_box.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "shell/picbox/picture_geometry.h"
#include "tests/shell/picbox/pic_box_test_support.h"

namespace vt {
namespace {

using test::fixture_bytes;
using test::pixel_at;
using test::Rgba;

constexpr int FRAME = 189;

Bytes fixture(const char* name) { return test::as_bytes(fixture_bytes(name)); }

RgbaImage render_in_frame(const Bytes& picture) {
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(picture);
    return box.render();
}

// The smallest rectangle holding every pixel that is not the background.
TargetRect drawn_area(const RgbaImage& image) {
    int x0 = image.width, y0 = image.height, x1 = -1, y1 = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (pixel_at(image, x, y) != Rgba{240, 240, 240, 255}) {
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    return x1 < 0 ? TargetRect{} : TargetRect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

TEST(PicBoxRendering, PicturesLandWhereFitPutsThem) {
    const struct {
        const char* file;
        TargetRect area;
    } cases[] = {
        {"jpeg_378x252.jpg", {0, 31, 189, 126}}, {"jpeg_100x100.jpg", {44, 44, 100, 100}}, {"jpeg_200x309.jpg", {33, 0, 122, 188}},
        {"jpeg_102x378.jpg", {68, 0, 51, 189}},  {"jpeg_2000x2000.jpg", {0, 0, 189, 189}}, {"png_rgb.png", {74, 79, 40, 30}},
        {"gif_still.gif", {84, 89, 20, 10}},     {"bmp_24.bmp", {79, 84, 30, 20}},
    };
    for (const auto& c : cases) {
        const RgbaImage out = render_in_frame(fixture(c.file));
        ASSERT_EQ(out.width, FRAME);
        ASSERT_EQ(out.height, FRAME);
        EXPECT_EQ(drawn_area(out), c.area) << c.file;
    }
    // The quadrants of the shrunk 378 x 252 picture are where they belong.
    const RgbaImage out = render_in_frame(fixture("jpeg_378x252.jpg"));
    EXPECT_NEAR(pixel_at(out, 47, 62).r, 220, 4);
    EXPECT_NEAR(pixel_at(out, 141, 62).g, 200, 4);
    EXPECT_NEAR(pixel_at(out, 47, 125).b, 200, 4);
}

TEST(PicBoxRendering, AlphaIsBlendedOverTheBackgroundForPngGifIconAndCursorOnly) {
    const struct {
        const char* file;
        int x, y;  // in the box
        Rgba expected;
    } cases[] = {
        // 10 x 10 at 89, 89; row 0 red at alpha 128, 51, 128, 204, 0.
        {"png_half_transparent.png", 89, 89, {247, 119, 119, 255}},
        {"png_half_transparent.png", 90, 89, {243, 192, 192, 255}},
        {"png_half_transparent.png", 92, 89, {252, 47, 47, 255}},
        {"png_half_transparent.png", 93, 89, {240, 240, 240, 255}},
        {"png_half_transparent.png", 94, 89, {30, 60, 200, 255}},
        {"png_grey_alpha.png", 90, 90, {224, 224, 224, 255}},
        {"png_palette_trns.png", 90, 90, {240, 240, 240, 255}},
        {"png_palette_trns.png", 92, 90, {245, 219, 149, 255}},
        {"png_16bit.png", 95, 95, {134, 149, 219, 255}},  // blue at alpha 128, from 16 bits
        // 48 x 48 at 70, 70: red at 20 %, 50 % and 80 %, row 0 clear.
        {"icon_multi.ico", 78, 80, {236, 198, 200, 255}},
        {"icon_multi.ico", 94, 80, {229, 134, 139, 255}},
        {"icon_multi.ico", 110, 80, {224, 71, 79, 255}},
        {"icon_multi.ico", 94, 70, {240, 240, 240, 255}},
        {"cursor.cur", 94, 83, {240, 240, 240, 255}},  // 32 x 32 at 78, 78; masked
        {"cursor.cur", 78, 78, {250, 200, 60, 255}},
        // A 32-bit BMP's fourth byte never shows: 30 x 20 at 79, 84.
        {"bmp_32.bmp", 79, 84, {220, 30, 40, 255}},
        {"bmp_32.bmp", 101, 89, {250, 200, 60, 255}},
    };
    for (const auto& c : cases) EXPECT_EQ(pixel_at(render_in_frame(fixture(c.file)), c.x, c.y), c.expected) << c.file << " at " << c.x << "," << c.y;
}

TEST(PicBoxRendering, BlendingComesBeforeShrinking) {
    // Columns alternate clear red and opaque blue; each drawn pixel covers
    // one of each. Blended first: (240 + 0) / 2, (240 + 0) / 2, (240 + 255) / 2.
    RgbaImage stripes = test::solid_image(378, 378, {0, 0, 255, 255});
    for (std::size_t i = 0; i < stripes.pixels.size(); i += 8) {
        stripes.pixels[i] = 255;
        stripes.pixels[i + 2] = 0;
        stripes.pixels[i + 3] = 0;
    }
    const RgbaImage out = render_in_frame(test::encode_png(stripes));
    for (const auto& [x, y] : {std::pair{0, 0}, {94, 94}, {188, 188}}) {
        const Rgba p = pixel_at(out, x, y);
        EXPECT_NEAR(p.r, 120, 1);
        EXPECT_NEAR(p.g, 120, 1);
        EXPECT_NEAR(p.b, 248, 1);
    }
}

TEST(PicBoxRendering, TopLeftDrawsAtNaturalSizeAndClips) {
    RgbaImage gradient = test::solid_image(300, 280, {0, 0, 0, 255});
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 300; ++x) {
            gradient.pixels[(std::size_t(y) * 300 + std::size_t(x)) * 4] = static_cast<std::uint8_t>(x);
            gradient.pixels[(std::size_t(y) * 300 + std::size_t(x)) * 4 + 1] = static_cast<std::uint8_t>(y);
        }
    PicBox box(272, 256, DisplayMode::top_left, BUTTON_FACE, true);
    box.set_picture(test::encode_png(gradient));
    const RgbaImage out = box.render();
    ASSERT_EQ(out.width, 272);
    for (const auto& [x, y] : {std::pair{0, 0}, {271, 255}, {200, 17}}) EXPECT_EQ(pixel_at(out, x, y), (Rgba{x % 256, y % 256, 0, 255}));

    box.set_picture(test::encode_png(test::solid_image(10, 10, {1, 2, 3, 255})));
    const RgbaImage small = box.render();
    EXPECT_EQ(pixel_at(small, 9, 9), (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(pixel_at(small, 10, 0), (Rgba{240, 240, 240, 255}));
    EXPECT_EQ(pixel_at(small, 0, 10), (Rgba{240, 240, 240, 255}));
}

TEST(PicBoxRendering, AnythingUndecodableLeavesAPlainSquareNeverThePreviousPicture) {
    const std::vector<Bytes> broken = {
        Bytes(),
        fixture("broken_jpeg_7_bytes.jpg"),
        fixture("broken_png_truncated.png"),
        fixture("broken_text_page.html"),
        fixture("broken_png_20000.png"),
        fixture("broken_png_60000.png"),
        fixture("broken_jpeg_65500.jpg"),
        fixture("broken_gif_10000_frames.gif"),
        Bytes(std::string_view("BMW is a maker of cars")),
    };
    for (const Bytes& bytes : broken) {
        PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
        box.set_picture(fixture("jpeg_100x100.jpg"));
        ASSERT_FALSE(test::is_plain(box.render(), BUTTON_FACE));
        box.set_picture(bytes);
        EXPECT_TRUE(test::is_plain(box.render(), BUTTON_FACE)) << bytes.span().size() << " bytes";
    }
    PicBox coloured(FRAME, FRAME, DisplayMode::fit, {1, 2, 3}, true);
    EXPECT_TRUE(test::is_plain(coloured.render(), {1, 2, 3})) << "a new box is its background";
}

// Timers that run when the test says so, and a count of repaints.
class ManualHost final : public PicBoxHost {
public:
    void request_repaint() override { ++repaints; }
    void run_later_on_window_thread(int delay_ms, std::function<void()> tick) override { timers.emplace_back(delay_ms, std::move(tick)); }
    // Runs the oldest timer; its delay.
    int run_next() {
        auto [delay, tick] = std::move(timers.front());
        timers.pop_front();
        tick();
        return delay;
    }
    int repaints = 0;
    std::deque<std::pair<int, std::function<void()>>> timers;
};

TEST(PicBoxAnimation, FramesLoopForEverOnTheHostsTimersUntilReplaced) {
    ManualHost host;
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.attach_host(&host);
    const Bytes gif = fixture("gif_three_frames.gif");
    box.set_picture(gif);
    // 16 x 16 at 86, 86; (10, 6) is red, then yellow, then red again.
    const Rgba red{220, 30, 40, 255}, yellow{255, 255, 0, 255}, green{0, 200, 0, 255};
    const struct {
        int shown_for_ms;
        Rgba at_10_6, at_13_13;
    } frames[] = {{50, red, red}, {100, yellow, red}, {200, red, green}, {50, red, red}, {100, yellow, red}};
    for (const auto& f : frames) {
        const RgbaImage out = box.render();
        EXPECT_EQ(pixel_at(out, 96, 92), f.at_10_6);
        EXPECT_EQ(pixel_at(out, 99, 99), f.at_13_13);
        ASSERT_EQ(host.timers.size(), 1u);
        EXPECT_EQ(host.run_next(), f.shown_for_ms);
    }

    const int repaints = host.repaints;
    box.set_picture(fixture("jpeg_100x100.jpg"));
    EXPECT_GT(host.repaints, repaints);
    const RgbaImage still = box.render();
    ASSERT_EQ(host.timers.size(), 1u) << "the last tick of the animation";
    host.run_next();
    EXPECT_TRUE(host.timers.empty()) << "the animation stopped";
    EXPECT_EQ(box.render().pixels, still.pixels);
}

TEST(PicBoxAnimation, ClearedAreasShowTheBackground) {
    ManualHost host;
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.attach_host(&host);
    box.set_picture(fixture("gif_dispose_background.gif"));  // 8 x 8 at 90, 90
    EXPECT_EQ(pixel_at(box.render(), 96, 96), (Rgba{220, 30, 40, 255}));
    host.run_next();
    EXPECT_EQ(pixel_at(box.render(), 91, 91), (Rgba{30, 60, 200, 255}));
    EXPECT_EQ(pixel_at(box.render(), 96, 96), (Rgba{240, 240, 240, 255}));
}

TEST(PicBoxAnimation, StartsOnceAHostIsThereAndOnlyWhenAnimationIsOn) {
    ManualHost host;
    PicBox late(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    late.set_picture(fixture("gif_twenty_frames.gif"));
    late.attach_host(&host);
    late.attach_host(&host);
    ASSERT_EQ(host.timers.size(), 1u) << "one timer however often the host is attached";
    EXPECT_EQ(host.run_next(), 50);
    EXPECT_EQ(host.timers.size(), 1u);

    ManualHost other;
    PicBox still(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, false);
    still.attach_host(&other);
    still.set_picture(fixture("gif_three_frames.gif"));
    EXPECT_TRUE(other.timers.empty());
    EXPECT_EQ(pixel_at(still.render(), 96, 92), (Rgba{220, 30, 40, 255})) << "the first frame";
}

TEST(PicBoxVisibility, SetVisibleIsKeptAndRepaints) {
    ManualHost host;
    PicBox box(FRAME, FRAME, DisplayMode::fit, BUTTON_FACE, true);
    box.attach_host(&host);
    EXPECT_FALSE(box.visible());
    box.set_visible(true);
    EXPECT_TRUE(box.visible());
    EXPECT_EQ(host.repaints, 1);
    box.set_visible(false);
    EXPECT_FALSE(box.visible());
}

}  // namespace
}  // namespace vt
