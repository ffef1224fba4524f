#include "shell/picbox/pic_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "shell/picbox/area_resample.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/picbox/picture_geometry.h"

namespace vt {
namespace {

Bytes fixture(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(std::getenv("VT_SOURCE_DIR") ? std::getenv("VT_SOURCE_DIR") : ".") /
                                      "tests/fixtures/pictures";
    std::ifstream in(dir / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << name;
    return Bytes(std::string_view(bytes));
}

struct Pixel {
    int r, g, b;
};

Pixel at(const RgbaImage& image, int x, int y) {
    const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {p[0], p[1], p[2]};
}

TEST(PictureGeometry, FitAndTopLeft) {
    const struct {
        int pw, ph;
        TargetRect expected;
    } cases[] = {
        {200, 309, {33, 0, 122, 188}},  // 309 · (189/309) is just below 189
        {102, 378, {68, 0, 51, 189}},
        {378, 252, {0, 31, 189, 126}},
        {100, 100, {44, 44, 100, 100}},
        {189, 189, {0, 0, 189, 189}},
        {1, 1, {94, 94, 1, 1}},
        {4000, 3000, {0, 24, 189, 141}},
    };
    for (const auto& c : cases) EXPECT_EQ(place_picture(DisplayMode::fit, 189, 189, c.pw, c.ph), c.expected) << c.pw << "x" << c.ph;
    EXPECT_EQ(place_picture(DisplayMode::top_left, 272, 256, 266, 255), (TargetRect{0, 0, 266, 255}));
}

TEST(Recognition, EightRulesOnTheFirstEightBytes) {
    const struct {
        std::string bytes;
        PictureFormat format;
    } cases[] = {
        {std::string("BM\0\0\0\0\0\0", 8), PictureFormat::bmp},
        {std::string("BM\0\0\0\0\0", 7), PictureFormat::none},  // 7 bytes
        {std::string("\xFF\xD8\xFF\xE0\0\0\0\0", 8), PictureFormat::jpeg},
        {std::string("\x89PNG\r\n\x1a\n", 8), PictureFormat::png},
        {std::string("\0\0\1\0\1\0\0\0", 8), PictureFormat::icon},
        {std::string("\0\0\1\0\0\0\0\0", 8), PictureFormat::none},  // icon with no images
        {std::string("\0\0\2\0\2\0\0\0", 8), PictureFormat::cursor},
        {std::string("\0\0\2\0\0\0\0\0", 8), PictureFormat::none},  // cursor with count 0
        {std::string("GIF87a\0\0", 8), PictureFormat::gif},
        {std::string("GIF89a\0\0", 8), PictureFormat::gif},
        {std::string("GIF87b\0\0", 8), PictureFormat::none},
        {std::string("\x0A\x05\x01\x08\0\0\0\0", 8), PictureFormat::pcx8},
        {std::string("\x0A\x06\x01\x08\0\0\0\0", 8), PictureFormat::none},
        {std::string("\x0A\x03\x01\x01\0\0\0\0", 8), PictureFormat::pcx1},
        {std::string("\x0A\x05\x01\x01\0\0\0\0", 8), PictureFormat::none},
        {"RIFF\0\0\0\0WEBP", PictureFormat::none},
        {"II*\0\0\0\0\0", PictureFormat::none},
    };
    for (const auto& c : cases) {
        const Bytes bytes(std::string_view(c.bytes));
        EXPECT_EQ(recognise_picture(bytes.span()), c.format) << c.bytes;
    }
}

TEST(AreaResample, CheckerboardShrinksToFlatGrey) {
    RgbaImage board{190, 190, std::vector<std::uint8_t>(190 * 190 * 4, 255)};
    for (int y = 0; y < 190; ++y)
        for (int x = 0; x < 190; ++x)
            if ((x + y) % 2) std::fill_n(board.pixels.begin() + (y * 190 + x) * 4, 3, 0);
    const RgbaImage small = area_resample(board, 19, 19);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 19; ++x) EXPECT_NEAR(at(small, x, y).r, 127, 3);
}

TEST(PicBoxDecoding, FixturesDecodeToTheirSizesAndPixels) {
    const struct {
        const char* file;
        int width, height, frames;
        int x, y;  // a pixel of frame 0 whose colour is known
        Pixel colour;
    } cases[] = {
        {"jpeg_378x252.jpg", 378, 252, 1, 94, 63, {220, 30, 40}},
        {"jpeg_grey.jpg", 64, 48, 1, 48, 36, {250, 250, 250}},
        {"jpeg_cmyk.jpg", 64, 48, 1, 16, 36, {30, 60, 200}},
        {"jpeg_progressive.jpg", 64, 48, 1, 48, 12, {249, 200, 61}},
        {"png_interlaced.png", 40, 30, 1, 10, 22, {30, 60, 200}},
        {"png_16bit.png", 4, 4, 1, 0, 0, {220, 30, 40}},
        {"png_16bit_grey.png", 4, 4, 1, 1, 1, {128, 128, 128}},  // cut to 8 bits, no gamma change
        {"gif_three_frames.gif", 16, 16, 3, 0, 0, {220, 30, 40}},
        {"gif_still.gif", 20, 10, 1, 3, 3, {220, 30, 40}},
        {"bmp_24.bmp", 30, 20, 1, 22, 5, {250, 200, 60}},
        {"bmp_24_top_down.bmp", 30, 20, 1, 7, 15, {30, 60, 200}},
        {"bmp_8.bmp", 13, 7, 1, 12, 6, {30, 60, 200}},
        {"pcx_8.pcx", 33, 20, 1, 24, 5, {250, 200, 60}},
        {"pcx_1.pcx", 21, 6, 1, 20, 1, {255, 255, 255}},
        {"icon_multi.ico", 48, 48, 1, 8, 10, {220, 30, 40}},  // the largest entry
    };
    for (const auto& c : cases) {
        const Bytes bytes = fixture(c.file);
        auto opened = open_picture(bytes.span());
        ASSERT_TRUE(opened) << c.file << " error " << static_cast<int>(opened.error());
        EXPECT_EQ(opened.value()->size().width, c.width) << c.file;
        EXPECT_EQ(opened.value()->size().height, c.height) << c.file;
        EXPECT_EQ(opened.value()->frame_count(), c.frames) << c.file;
        auto frame = opened.value()->frame(0, {c.width, c.height});
        ASSERT_TRUE(frame) << c.file;
        const Pixel p = at(frame.value().image, c.x, c.y);
        EXPECT_NEAR(p.r, c.colour.r, 3) << c.file;
        EXPECT_NEAR(p.g, c.colour.g, 3) << c.file;
        EXPECT_NEAR(p.b, c.colour.b, 3) << c.file;
    }
    auto gif = open_picture(fixture("gif_three_frames.gif").span());
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif.value()->frame(0, {}).value().delay_ms, 50) << "a delay of 0 shows 50 ms";
    const RgbaImage second = gif.value()->frame(1, {}).value().image;
    EXPECT_EQ(gif.value()->frame(1, {}).value().delay_ms, 100);
    EXPECT_EQ(at(second, 10, 6).g, 255) << "local palette";
    EXPECT_EQ(at(second, 5, 6).r, at(second, 0, 0).r) << "transparent pixels show the frame before";
    const RgbaImage third = gif.value()->frame(2, {}).value().image;
    EXPECT_EQ(at(third, 10, 6).g, at(third, 0, 0).g) << "disposal 3 restored the frame before the second";
    EXPECT_EQ(at(third, 13, 13).g, 200);
}

TEST(PicBoxDecoding, HostileSizesAreRefused) {
    for (const char* name : {"broken_png_20000.png", "broken_png_60000.png", "broken_jpeg_65500.jpg", "broken_gif_10000_frames.gif"}) {
        const Bytes bytes = fixture(name);
        auto opened = open_picture(bytes.span());
        const bool refused = !opened || !opened.value()->frame(0, {189, 189});
        EXPECT_TRUE(refused) << name;
    }
}

TEST(PicBoxRendering, GeometryAndBlending) {
    PicBox box(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(fixture("jpeg_378x252.jpg"));
    RgbaImage out = box.render();
    EXPECT_EQ(at(out, 100, 30).r, 240) << "above the picture: background";
    EXPECT_NE(at(out, 100, 31).b, 240);
    EXPECT_NE(at(out, 100, 156).b, 240);
    EXPECT_EQ(at(out, 100, 157).r, 240) << "below the 126 rows";

    PicBox small(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    small.set_picture(fixture("png_half_transparent.png"));
    out = small.render();
    // 10 x 10 unscaled at 89, 89; alpha 128 red over 240 grey.
    const double a = 128 / 255.0;
    EXPECT_EQ(at(out, 89, 89).r, static_cast<int>(a * 255 + (1 - a) * 240));
    EXPECT_EQ(at(out, 89, 89).g, static_cast<int>((1 - a) * 240));
    EXPECT_EQ(at(out, 94, 89).b, 200);
    EXPECT_EQ(at(out, 88, 89).r, 240);
}

TEST(PicBoxRendering, BrokenBytesLeaveAPlainSquare) {
    for (const char* name : {"broken_jpeg_7_bytes.jpg", "broken_png_truncated.png", "broken_text_page.html", "broken_png_20000.png"}) {
        PicBox box(189, 189, DisplayMode::fit, BUTTON_FACE, true);
        box.set_picture(fixture("jpeg_100x100.jpg"));
        box.set_picture(fixture(name));
        const RgbaImage out = box.render();
        for (std::size_t i = 0; i < out.pixels.size(); i += 4) ASSERT_EQ(out.pixels[i], 240) << name;
    }
    PicBox box(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(Bytes());
    EXPECT_EQ(at(box.render(), 0, 0).r, 240);
}

TEST(PicBoxConcurrency, WritersAndAPainterNeverSeeATornPicture) {
    PicBox box(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    const Bytes pictures[] = {fixture("jpeg_100x100.jpg"), fixture("png_interlaced.png"), fixture("broken_text_page.html")};
    std::atomic<bool> painting{true};
    std::thread painter([&] {
        while (painting) {
            const RgbaImage out = box.render();
            ASSERT_EQ(out.pixels.size(), 189u * 189u * 4u);
        }
    });
    std::vector<std::thread> writers;
    for (int i = 0; i < 16; ++i) writers.emplace_back([&, i] { box.set_picture(pictures[i % 3]); });
    for (auto& w : writers) w.join();
    box.set_picture(pictures[0]);
    painting = false;
    painter.join();
    PicBox reference(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    reference.set_picture(pictures[0]);
    EXPECT_EQ(box.render().pixels, reference.render().pixels) << "the picture written last stays";
}

}  // namespace
}  // namespace vt
