// The skin's pixels that the window's look relies on, and the icon's form.
#include <gtest/gtest.h>

#include "resources/builtin_data.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/window/geometry.h"

namespace vt {
namespace {

RgbaImage decode(std::span<const std::uint8_t> png) {
    EXPECT_EQ(recognise_picture(png), PictureFormat::png);
    auto decoder = open_picture(png);
    EXPECT_TRUE(decoder);
    auto frame = decoder.value()->frame(0, decoder.value()->size());
    EXPECT_TRUE(frame);
    return std::move(frame.value().image);
}

struct Pixel {
    int r, g, b, a;
};

Pixel at(const RgbaImage& image, int x, int y) {
    const std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                           static_cast<std::size_t>(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

bool grey(const Pixel& p, int level) { return p.r == level && p.g == level && p.b == level; }

TEST(Skin, IsAnOpaqueWindowInOutline) {
    const RgbaImage skin = decode(SKIN_PICTURE);
    ASSERT_EQ(skin.width, 266);
    ASSERT_EQ(skin.height, 255);
    for (int y = 0; y < 255; ++y)
        for (int x = 0; x < 266; ++x) ASSERT_EQ(at(skin, x, y).a, 255) << x << "," << y;

    for (int x = 0; x < 266; ++x) {
        EXPECT_TRUE(grey(at(skin, x, 0), 176)) << "top row " << x;
        EXPECT_TRUE(grey(at(skin, x, 254), 176)) << "bottom row " << x;
    }
    for (const auto& [top, bottom] : {std::pair{1, 33}, std::pair{223, 253}}) {
        for (int y = top; y <= bottom; ++y) {
            EXPECT_TRUE(grey(at(skin, 0, y), 176)) << "left column " << y;
            EXPECT_TRUE(grey(at(skin, 265, y), 176)) << "right column " << y;
        }
    }
}

TEST(Skin, BandsAreNearWhiteOutsideTheirDrawings) {
    const RgbaImage skin = decode(SKIN_PICTURE);
    // Where the title band may draw: logo, caption, minimize bar, close cross.
    const Rect title_drawings[] = {{7, 1, 20, 33}, {31, 1, 138, 33}, {215, 18, 10, 2}, {245, 11, 9, 9}};
    int signature_ink = 0;
    for (int y = 1; y <= 253; ++y) {
        if (y >= 34 && y <= 222) continue;
        for (int x = 1; x <= 264; ++x) {
            const Point p{x, y};
            const bool drawn = y <= 33 ? std::any_of(std::begin(title_drawings), std::end(title_drawings),
                                                     [&](const Rect& r) { return r.contains(p); })
                                       : x >= 133;  // the signature at the right
            if (!drawn) {
                EXPECT_TRUE(grey(at(skin, x, y), 253)) << x << "," << y;
            } else if (y > 222 && !grey(at(skin, x, y), 253)) {
                ++signature_ink;
            }
        }
    }
    EXPECT_GT(signature_ink, 50) << "a signature in the bottom band";
}

TEST(Skin, GlyphsFillTheirPlacesInsideTheZones) {
    const RgbaImage skin = decode(SKIN_PICTURE);
    // The minimize bar is solid and dark.
    for (int y = 18; y <= 19; ++y)
        for (int x = 215; x <= 224; ++x) EXPECT_LT(at(skin, x, y).r, 128) << x << "," << y;
    // The close cross: both diagonals of its square, corner to corner.
    for (int i = 0; i <= 8; ++i) {
        EXPECT_LT(at(skin, 245 + i, 11 + i).r, 128) << i;
        EXPECT_LT(at(skin, 253 - i, 11 + i).r, 128) << i;
    }
    // Some ink in the logo and the caption.
    int logo_ink = 0, caption_ink = 0;
    for (int y = 1; y <= 33; ++y) {
        for (int x = 7; x <= 26; ++x) logo_ink += !grey(at(skin, x, y), 253);
        for (int x = 31; x <= 168; ++x) caption_ink += !grey(at(skin, x, y), 253);
    }
    EXPECT_GT(logo_ink, 200);
    EXPECT_GT(caption_ink, 200);
}

TEST(Skin, ArtworkIsRedAndPurpleAcrossTheFullWidth) {
    const RgbaImage skin = decode(SKIN_PICTURE);
    int reddish = 0, purplish = 0;
    for (int y = 34; y <= 222; ++y) {
        for (int x = 0; x < 266; ++x) {
            const Pixel p = at(skin, x, y);
            ASSERT_FALSE(grey(p, 253)) << "no band colour in the artwork " << x << "," << y;
            reddish += p.r > 120 && p.r > 2 * p.b && p.g < 80;
            purplish += p.b > p.g + 20 && p.r > p.g + 20;
        }
    }
    EXPECT_GT(reddish, 2000);
    EXPECT_GT(purplish, 2000);
}

TEST(WindowIcon, IsA48PixelSquareWithAlpha) {
    const RgbaImage icon = decode(WINDOW_ICON);
    ASSERT_EQ(icon.width, 48);
    ASSERT_EQ(icon.height, 48);
    EXPECT_LT(at(icon, 0, 0).a, 64) << "rounded corner";
    const Pixel middle_edge = at(icon, 24, 2);
    EXPECT_EQ(middle_edge.a, 255);
    EXPECT_GT(middle_edge.b, middle_edge.r + 60) << "blue";
    int white = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) white += at(icon, x, y).r > 230 && at(icon, x, y).g > 230;
    EXPECT_GT(white, 150) << "a white character";
}

}  // namespace
}  // namespace vt
