// JPEG, PNG and GIF through the common decoder interface, on the generated
// fixtures whose pixels are known, and on hostile and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <zlib.h>

#include "shell/picbox/area_resample.h"
#include "shell/picbox/picture_limits.h"
#include "tests/shell/picbox/decoder_test_support.h"

namespace vt {
namespace {

using test::ByteVector;
using test::fixture_bytes;
using test::pixel_at;
using test::Rgba;

struct KnownPixel {
    int x, y;
    Rgba colour;
};

TEST(PictureDecoders, FixturesDecodeToTheirSizeAndKnownPixels) {
    const struct {
        const char* file;
        int width, height, frames;
        std::vector<KnownPixel> pixels;  // of frame 0, within 3 levels
    } cases[] = {
        {"jpeg_378x252.jpg", 378, 252, 1, {{94, 63, {220, 30, 40, 255}}, {283, 63, {249, 200, 61, 255}}, {94, 189, {31, 60, 200, 255}}, {283, 189, {250, 250, 250, 255}}}},
        {"jpeg_grey.jpg", 64, 48, 1, {{16, 12, {88, 88, 88, 255}}, {48, 12, {199, 199, 199, 255}}, {16, 36, {67, 67, 67, 255}}}},
        {"jpeg_cmyk.jpg", 64, 48, 1, {{16, 12, {220, 30, 40, 255}}, {48, 12, {250, 200, 60, 255}}, {16, 36, {30, 60, 200, 255}}, {48, 36, {250, 250, 250, 255}}}},
        {"jpeg_progressive.jpg", 64, 48, 1, {{16, 12, {220, 30, 40, 255}}, {48, 12, {249, 200, 61, 255}}, {16, 36, {31, 60, 200, 255}}}},
        {"png_rgb.png", 40, 30, 1, {{10, 7, {220, 30, 40, 255}}, {30, 22, {250, 250, 250, 255}}}},
        {"png_interlaced.png", 40, 30, 1, {{10, 7, {220, 30, 40, 255}}, {30, 7, {250, 200, 60, 255}}, {10, 22, {30, 60, 200, 255}}, {30, 22, {250, 250, 250, 255}}}},
        {"png_palette_trns.png", 8, 8, 1, {{0, 0, {220, 30, 40, 0}}, {2, 0, {250, 200, 60, 128}}, {7, 7, {30, 60, 200, 255}}}},
        {"png_16bit.png", 4, 4, 1, {{0, 0, {220, 30, 40, 255}}, {3, 3, {30, 60, 200, 128}}}},
        {"png_16bit_grey.png", 4, 4, 1, {{1, 1, {128, 128, 128, 255}}}},  // no gamma change
        {"png_grey_alpha.png", 8, 8, 1, {{0, 0, {200, 200, 200, 100}}, {7, 7, {40, 40, 40, 255}}}},
        {"png_half_transparent.png", 10, 10, 1, {{0, 0, {255, 0, 0, 128}}, {4, 0, {255, 0, 0, 0}}, {9, 9, {30, 60, 200, 255}}}},
        {"gif_still.gif", 20, 10, 1, {{3, 3, {220, 30, 40, 255}}, {19, 9, {220, 30, 40, 255}}}},
        {"gif_three_frames.gif", 16, 16, 3, {{0, 0, {220, 30, 40, 255}}, {15, 15, {220, 30, 40, 255}}}},
        {"gif_twenty_frames.gif", 160, 160, 20, {{2, 2, {196, 18, 32, 255}}, {80, 80, {255, 206, 72, 255}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const ByteVector bytes = fixture_bytes(c.file);
        auto decoder = open_picture(bytes);
        ASSERT_TRUE(decoder) << static_cast<int>(decoder.error());
        EXPECT_EQ(decoder.value()->size().width, c.width);
        EXPECT_EQ(decoder.value()->size().height, c.height);
        EXPECT_EQ(decoder.value()->frame_count(), c.frames);
        auto frame = decoder.value()->frame(0, decoder.value()->size());
        ASSERT_TRUE(frame);
        ASSERT_EQ(frame.value().image.width, c.width);
        ASSERT_EQ(frame.value().image.height, c.height);
        EXPECT_EQ(frame.value().delay_ms, c.frames > 1 ? 50 : 0) << "a still picture has no delay; a delay of 0 or 5 shows 50 ms";
        for (const KnownPixel& p : c.pixels) {
            const Rgba got = pixel_at(frame.value().image, p.x, p.y);
            EXPECT_NEAR(got.r, p.colour.r, 3) << p.x << "," << p.y << " " << got;
            EXPECT_NEAR(got.g, p.colour.g, 3) << p.x << "," << p.y << " " << got;
            EXPECT_NEAR(got.b, p.colour.b, 3) << p.x << "," << p.y << " " << got;
            EXPECT_EQ(got.a, p.colour.a) << p.x << "," << p.y;
        }
    }
}

TEST(PictureDecoders, GifFramesAreComposedWithOffsetsTransparencyAndDisposal) {
    const ByteVector bytes = fixture_bytes("gif_three_frames.gif");
    auto decoder = open_picture(bytes);
    ASSERT_TRUE(decoder);
    PictureDecoder& gif = *decoder.value();
    const Rgba red{220, 30, 40, 255}, yellow{255, 255, 0, 255}, green{0, 200, 0, 255};
    const struct {
        int frame, delay_ms;
        std::vector<KnownPixel> pixels;
    } frames[] = {
        {0, 50, {{0, 0, red}, {10, 6, red}}},
        {1, 100, {{5, 6, red} /* transparent: frame 0 shows */, {10, 6, yellow} /* local palette */, {0, 0, red}}},
        {2, 200, {{10, 6, red} /* frame 1 restored away */, {9, 9, red}, {13, 13, green}, {9, 13, green}, {0, 0, red}}},
        {0, 50, {{10, 6, red}, {13, 13, red}}},  // back to the start
        {2, 200, {{10, 6, red}, {13, 13, green}}},
        {1, 100, {{10, 6, yellow}, {13, 13, red}}},  // an earlier frame again
    };
    for (const auto& f : frames) {
        auto frame = gif.frame(f.frame, gif.size());
        ASSERT_TRUE(frame) << f.frame;
        EXPECT_EQ(frame.value().delay_ms, f.delay_ms) << f.frame;
        for (const KnownPixel& p : f.pixels) EXPECT_EQ(pixel_at(frame.value().image, p.x, p.y), p.colour) << "frame " << f.frame << " at " << p.x << "," << p.y;
    }

    const ByteVector cleared = fixture_bytes("gif_dispose_background.gif");
    auto second = open_picture(cleared);
    ASSERT_TRUE(second);
    const auto frame = second.value()->frame(1, second.value()->size());
    ASSERT_TRUE(frame);
    EXPECT_EQ(pixel_at(frame.value().image, 1, 1), (Rgba{30, 60, 200, 255}));
    EXPECT_EQ(pixel_at(frame.value().image, 6, 6).a, 0) << "disposal 2 clears to transparent";
}

TEST(PictureDecoders, GifCutShortKeepsTheFramesThatArrivedWhole) {
    ByteVector bytes = fixture_bytes("gif_three_frames.gif");
    bytes.resize(bytes.size() - 8);  // into the third frame's data
    auto decoder = open_picture(bytes);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder.value()->frame_count(), 2);
    EXPECT_TRUE(decoder.value()->frame(1, {}));
    EXPECT_FALSE(decoder.value()->frame(2, {}));
}

TEST(PictureDecoders, JpegDecodesAtTheSmallestScaleThatCoversTheDrawnSize) {
    const ByteVector bytes = fixture_bytes("jpeg_2000x2000.jpg");
    auto decoder = open_picture(bytes);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder.value()->size().width, 2000) << "the natural size, whatever the scale";
    const struct {
        PictureSize drawn;
        int side;
    } cases[] = {{{189, 189}, 250}, {{251, 10}, 500}, {{500, 500}, 500}, {{501, 1}, 1000}, {{1001, 1}, 2000}, {{2000, 2000}, 2000}};
    for (const auto& c : cases) {
        auto fresh = open_picture(bytes);
        auto frame = fresh.value()->frame(0, c.drawn);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame.value().image.width, c.side) << c.drawn.width;
        EXPECT_EQ(frame.value().image.height, c.side) << c.drawn.width;
    }
}

TEST(PictureDecoders, ScaledJpegDecodeMatchesAFullDecodeShrunk) {
    for (const char* file : {"jpeg_2000x2000.jpg", "jpeg_4000x3000.jpg", "jpeg_378x252.jpg"}) {
        SCOPED_TRACE(file);
        const ByteVector bytes = fixture_bytes(file);
        auto full = open_picture(bytes);
        auto scaled = open_picture(bytes);
        ASSERT_TRUE(full && scaled);
        const PictureSize natural = full.value()->size();
        const double s = std::min(189.0 / natural.width, 189.0 / natural.height);
        const int w = static_cast<int>(natural.width * s), h = static_cast<int>(natural.height * s);
        const RgbaImage expected = area_resample(full.value()->frame(0, natural).value().image, w, h);
        const RgbaImage got = area_resample(scaled.value()->frame(0, {w, h}).value().image, w, h);
        ASSERT_EQ(got.pixels.size(), expected.pixels.size());
        long difference = 0;
        for (std::size_t i = 0; i < got.pixels.size(); ++i) difference += std::abs(got.pixels[i] - expected.pixels[i]);
        EXPECT_LE(static_cast<double>(difference) / static_cast<double>(got.pixels.size()), 2.0);
    }
}

// Bombs: a small file whose header asks for more than the limits allow is
// refused when opened, before any pixel memory is taken.
TEST(PictureDecoders, HostileSizesAreRefusedAtOpen) {
    for (const char* file : {"broken_png_20000.png", "broken_png_60000.png", "broken_jpeg_65500.jpg", "broken_gif_10000_frames.gif"}) {
        const ByteVector bytes = fixture_bytes(file);
        EXPECT_FALSE(open_picture(bytes)) << file;
    }
}

// Within the size limits, but far too short for the rows it declares: a
// small file must not make the decoder take the memory of a large picture.
TEST(PictureDecoders, PngTooShortForItsRowsIsRefusedAtOpen) {
    ByteVector bytes = fixture_bytes("png_rgb.png");
    // IHDR: 8 signature bytes, then length, "IHDR", width and height (big-
    // endian), depth, colour type, three methods, and the CRC of type + data.
    auto put_big_endian = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    };
    put_big_endian(16, 16000);
    put_big_endian(20, 4000);
    put_big_endian(29, static_cast<std::uint32_t>(crc32(0, bytes.data() + 12, 17)));
    const auto decoder = open_picture(bytes);
    ASSERT_FALSE(decoder);
    EXPECT_EQ(decoder.error(), DecodeError::truncated);
}

// Each scan of the last one repeated: a progressive file that would keep
// the decoder busy scan after scan.
TEST(PictureDecoders, JpegWithEndlessScansIsRefused) {
    const ByteVector bytes = fixture_bytes("jpeg_progressive.jpg");
    std::size_t last_scan = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) last_scan = i;
    ASSERT_GT(last_scan, 0u);
    const ByteVector scan(bytes.begin() + static_cast<std::ptrdiff_t>(last_scan), bytes.end() - 2);
    ByteVector hostile(bytes.begin(), bytes.end() - 2);
    for (int i = 0; i < MAX_JPEG_SCANS; ++i) hostile.insert(hostile.end(), scan.begin(), scan.end());
    hostile.insert(hostile.end(), {0xFF, 0xD9});
    auto decoder = open_picture(hostile);
    ASSERT_TRUE(decoder) << "the header is sound";
    EXPECT_FALSE(decoder.value()->frame(0, decoder.value()->size()));
    EXPECT_FALSE(decoder.value()->frame(0, decoder.value()->size())) << "a decoder that failed stays failed";
}

TEST(PictureDecoders, BrokenFilesFailWithoutAPicture) {
    const ByteVector truncated = fixture_bytes("broken_png_truncated.png");
    auto png = open_picture(truncated);
    const bool refused = !png || !png.value()->frame(0, png.value()->size());
    EXPECT_TRUE(refused);

    // A JPEG whose data stops after the header.
    ByteVector jpeg = fixture_bytes("jpeg_100x100.jpg");
    std::size_t scan = 0;
    while (scan + 1 < jpeg.size() && !(jpeg[scan] == 0xFF && jpeg[scan + 1] == 0xDA)) ++scan;
    jpeg.resize(scan);
    auto cut = open_picture(jpeg);
    const bool jpeg_refused = !cut || !cut.value()->frame(0, cut.value()->size());
    EXPECT_TRUE(jpeg_refused);
}

TEST(PictureDecoders, DamagedFilesNeverCrash) {
    test::expect_damage_survived(open_png, fixture_bytes("png_palette_trns.png"));
    test::expect_damage_survived(open_png, fixture_bytes("png_interlaced.png"), 1000);
    test::expect_damage_survived(open_jpeg, fixture_bytes("jpeg_progressive.jpg"), 1000);
    test::expect_damage_survived(open_gif, fixture_bytes("gif_three_frames.gif"));
}

}  // namespace
}  // namespace vt
