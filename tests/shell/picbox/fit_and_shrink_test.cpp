#include <gtest/gtest.h>

#include <initializer_list>

#include "shell/picbox/area_resample.h"
#include "shell/picbox/picture_geometry.h"

namespace vt {
namespace {

TEST(PictureGeometry, FitCentresAndShrinksNeverEnlarges) {
    const struct {
        int pw, ph;
        TargetRect expected;
    } cases[] = {
        {200, 309, {33, 0, 122, 188}},  // 309 * (189 / 309) is 188.99999999999997 in double
        {102, 378, {68, 0, 51, 189}},   // two halvings: 43 + 25, not 69
        {378, 252, {0, 31, 189, 126}},
        {100, 100, {44, 44, 100, 100}},
        {189, 189, {0, 0, 189, 189}},
        {190, 190, {0, 0, 189, 189}},
        {1, 1, {94, 94, 1, 1}},
        {2, 2, {93, 93, 2, 2}},
        {189, 10, {0, 89, 189, 10}},
        {190, 10, {0, 89, 189, 9}},     // 10 * 189 / 190 = 9.947...
        {4000, 3000, {0, 24, 189, 141}},
        {2000, 2000, {0, 0, 189, 189}},
        {10000, 1, {0, 94, 189, 0}},    // shrinks to no height at all
    };
    for (const auto& c : cases) EXPECT_EQ(place_picture(DisplayMode::fit, 189, 189, c.pw, c.ph), c.expected) << c.pw << " x " << c.ph;
}

TEST(PictureGeometry, TopLeftKeepsTheNaturalSize) {
    EXPECT_EQ(place_picture(DisplayMode::top_left, 272, 256, 266, 255), (TargetRect{0, 0, 266, 255}));
    EXPECT_EQ(place_picture(DisplayMode::top_left, 189, 189, 400, 300), (TargetRect{0, 0, 400, 300}));
}

RgbaImage grey_image(int width, int height, std::initializer_list<int> levels) {
    RgbaImage image{width, height, {}};
    for (const int level : levels) image.pixels.insert(image.pixels.end(), {std::uint8_t(level), std::uint8_t(level), std::uint8_t(level), 255});
    return image;
}

std::vector<int> reds(const RgbaImage& image) {
    std::vector<int> out;
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) out.push_back(image.pixels[i]);
    return out;
}

TEST(AreaResample, EachTargetPixelIsTheMeanOfTheAreaItCovers) {
    const struct {
        RgbaImage source;
        int width, height;
        std::vector<int> expected;
    } cases[] = {
        // 3 -> 2: [0, 1.5) and [1.5, 3); the last column counts in full.
        {grey_image(3, 1, {0, 90, 180}), 2, 1, {30, 150}},
        {grey_image(1, 3, {0, 90, 180}), 1, 2, {30, 150}},
        {grey_image(4, 1, {10, 20, 200, 100}), 2, 1, {15, 150}},
        {grey_image(4, 1, {10, 20, 200, 100}), 1, 1, {83}},  // 82.5 rounds up
        {grey_image(2, 2, {0, 255, 255, 0}), 1, 1, {128}},
        {grey_image(5, 1, {0, 0, 0, 0, 250}), 2, 1, {0, 100}},  // [2.5, 5): 250 of 2.5
    };
    for (const auto& c : cases) EXPECT_EQ(reds(area_resample(c.source, c.width, c.height)), c.expected);
}

TEST(AreaResample, CheckerboardTurnsFlatGreyAndFlatStaysExact) {
    RgbaImage board{1890, 1890, std::vector<std::uint8_t>(std::size_t{1890} * 1890 * 4, 255)};
    for (int y = 0; y < 1890; ++y)
        for (int x = (y + 1) % 2; x < 1890; x += 2) std::fill_n(board.pixels.begin() + (std::ptrdiff_t{y} * 1890 + x) * 4, 3, 0);
    const RgbaImage grey = area_resample(board, 189, 189);
    ASSERT_EQ(grey.pixels.size(), std::size_t{189} * 189 * 4);
    for (std::size_t i = 0; i < grey.pixels.size(); i += 4) {
        ASSERT_NEAR(grey.pixels[i], 127, 3) << "pixel " << i / 4;
        ASSERT_EQ(grey.pixels[i + 3], 255);
    }

    // Uneven ratios, where rounded weights could fail to add up to one.
    for (const int side : {250, 377, 500, 1000}) {
        const RgbaImage flat{side, side - 1, std::vector<std::uint8_t>(std::size_t(side) * std::size_t(side - 1) * 4, 201)};
        const RgbaImage shrunk = area_resample(flat, 189, 141);
        for (const std::uint8_t level : shrunk.pixels) ASSERT_EQ(level, 201) << side;
    }
}

}  // namespace
}  // namespace vt
