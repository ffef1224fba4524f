#include <gtest/gtest.h>

#include <vector>

#include "tests/shell/picbox/decoder_test_support.h"

namespace vt::test {
namespace {

constexpr std::uint16_t ICON = 1, CURSOR = 2;

struct Entry {
    std::uint8_t listed_width, listed_height;  // what the directory claims
    ByteVector data;
};

ByteVector icon_file(std::uint16_t type, const std::vector<Entry>& entries) {
    ByteWriter w;
    w.u16(0)                                            // reserved
        .u16(type)                                      // 1 icon, 2 cursor
        .u16(static_cast<std::uint16_t>(entries.size()));  // image count
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        w.u8(e.listed_width)                              // width, 0 for 256
            .u8(e.listed_height)                          // height
            .u8(0)                                        // palette colours
            .u8(0)                                        // reserved
            .u16(1)                                       // planes (cursor: hot spot x)
            .u16(32)                                      // bits (cursor: hot spot y)
            .u32(static_cast<std::uint32_t>(e.data.size()))  // bytes of the image
            .u32(offset);                                 // where it starts
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) w.append(e.data);
    return w.bytes();
}

// An entry's DIB: info header (height doubled for the mask), palette,
// pixel rows bottom-up, AND mask rows bottom-up.
ByteVector dib(std::int32_t width, std::int32_t height, std::uint16_t bits, const ByteVector& palette, const ByteVector& pixels,
               const ByteVector& mask, std::uint32_t compression = 0) {
    ByteWriter w;
    w.u32(40)                 // header size
        .i32(width)           //
        .i32(height * 2)      // picture and mask
        .u16(1)               // planes
        .u16(bits)            // bits per pixel
        .u32(compression)     // 0 RGB
        .u32(0)               // image bytes
        .i32(0)               // resolution across
        .i32(0)               // and down
        .u32(0)               // palette entries: all
        .u32(0);              // important colours
    return w.append(palette).append(pixels).append(mask).bytes();
}

// A 32-bit DIB of one colour (B, G, R, A stored) with an all-clear mask.
ByteVector solid_dib(std::int32_t side, Rgba colour) {
    ByteVector pixels;
    for (int i = 0; i < side * side; ++i) {
        pixels.insert(pixels.end(), {static_cast<std::uint8_t>(colour.b), static_cast<std::uint8_t>(colour.g),
                                     static_cast<std::uint8_t>(colour.r), static_cast<std::uint8_t>(colour.a)});
    }
    const auto mask_row_bytes = (static_cast<std::size_t>(side) + 31) / 32 * 4;
    return dib(side, side, 32, {}, pixels, ByteVector(mask_row_bytes * static_cast<std::size_t>(side), 0));
}

TEST(IconDecoder, FixturesShowTheirLargestImage) {
    // 16 x 16 DIB, 48 x 48 32-bit DIB, 32 x 32 PNG: the 48 x 48, its 20, 50
    // and 80 % opacity kept as straight alpha, its clear top row clear.
    expect_pixels(open_icon, "icon_multi.ico", fixture_bytes("icon_multi.ico"), 48, 48,
                  {{8, 10, {220, 30, 40, 51}}, {24, 10, {220, 30, 40, 128}}, {40, 10, {220, 30, 40, 204}}, {24, 0, {220, 30, 40, 0}}});
    // A 16 x 16 DIB and a 64 x 64 PNG: the PNG.
    expect_pixels(open_icon, "icon_png_largest.ico", fixture_bytes("icon_png_largest.ico"), 64, 64,
                  {{16, 16, {220, 30, 40, 255}}, {48, 16, {250, 200, 60, 255}}, {16, 48, {30, 60, 200, 255}}, {48, 0, {250, 200, 60, 128}}});
    // 24 bits: the AND mask clears the right half, the red cross included.
    expect_pixels(open_icon, "cursor.cur", fixture_bytes("cursor.cur"), 32, 32,
                  {{0, 0, {250, 200, 60, 255}}, {5, 16, {220, 30, 40, 255}}, {15, 31, {250, 200, 60, 255}}, {16, 5, {220, 30, 40, 0}},
                   {20, 20, {250, 200, 60, 0}}});
}

TEST(IconDecoder, ChoosesTheLargestThenTheDeepestImage) {
    constexpr Rgba RED{255, 0, 0, 255}, BLUE{0, 0, 255, 255};
    const ByteVector one_bit_2x2 = dib(2, 2, 1, {0, 0, 0, 0, 255, 255, 255, 0}, ByteVector(8, 0), ByteVector(8, 0));
    const struct {
        const char* what;
        std::vector<Entry> entries;
        int side;
        Rgba colour;
    } cases[] = {
        // The directory's one-byte sizes can lie; the images' own headers decide.
        {"directory claims the opposite", {{64, 64, solid_dib(1, RED)}, {1, 1, solid_dib(2, BLUE)}}, 2, BLUE},
        {"largest last", {{1, 1, solid_dib(1, RED)}, {2, 2, solid_dib(2, BLUE)}}, 2, BLUE},
        {"largest first", {{3, 3, solid_dib(3, RED)}, {2, 2, solid_dib(2, BLUE)}}, 3, RED},
        {"equal sizes: the deeper", {{2, 2, one_bit_2x2}, {2, 2, solid_dib(2, BLUE)}}, 2, BLUE},
        {"equal in all: the first", {{2, 2, solid_dib(2, RED)}, {2, 2, solid_dib(2, BLUE)}}, 2, RED},
    };
    for (const auto& c : cases) {
        for (const std::uint16_t type : {ICON, CURSOR}) {
            expect_pixels(open_icon, c.what, icon_file(type, c.entries), c.side, c.side, {{0, 0, c.colour}, {c.side - 1, c.side - 1, c.colour}});
        }
    }
}

TEST(IconDecoder, AndMaskCutsOutPicturesWithoutAlpha) {
    const ByteVector mask_second_clear = {0x40, 0, 0, 0};  // bits 0 1: the second pixel transparent
    // 1 bit with a two-entry palette (B, G, R, 0): pixels 1 then 0.
    const ByteVector one_bit = dib(2, 1, 1, {10, 20, 30, 0, 40, 50, 60, 0}, {0x80, 0, 0, 0}, mask_second_clear);
    expect_pixels(open_icon, "1 bit", icon_file(ICON, {{2, 1, one_bit}}), 2, 1, {{0, 0, {60, 50, 40, 255}}, {1, 0, {30, 20, 10, 0}}});
    // 32 bits whose alpha is zero throughout: an old icon that relies on its mask.
    const ByteVector no_alpha = dib(2, 1, 32, {}, {10, 20, 30, 0, 40, 50, 60, 0}, mask_second_clear);
    expect_pixels(open_icon, "32 bits, alpha unused", icon_file(ICON, {{2, 1, no_alpha}}), 2, 1, {{0, 0, {30, 20, 10, 255}}, {1, 0, {60, 50, 40, 0}}});
    // 32 bits with alpha of its own: the mask is ignored.
    const ByteVector alpha = dib(2, 1, 32, {}, {10, 20, 30, 77, 40, 50, 60, 200}, mask_second_clear);
    expect_pixels(open_icon, "32 bits with alpha", icon_file(ICON, {{2, 1, alpha}}), 2, 1, {{0, 0, {30, 20, 10, 77}}, {1, 0, {60, 50, 40, 200}}});
}

TEST(IconDecoder, BrokenFilesGiveAnError) {
    const ByteVector good = icon_file(ICON, {{2, 2, solid_dib(2, {1, 2, 3, 255})}});
    ASSERT_TRUE(decode_still(open_icon, good));
    ByteVector no_images = good;
    no_images[4] = 0;
    ByteVector wrong_type = good;
    wrong_type[2] = 3;
    ByteVector offset_outside = good;
    offset_outside[6 + 12 + 1] = 0x10;  // the entry's offset moves 4 KB on
    const ByteVector no_mask = dib(1, 1, 24, {}, {1, 2, 3, 0}, {});
    const ByteVector run_length = dib(2, 1, 8, ByteVector(1024, 0), {0x02, 0x00, 0x00, 0x01}, {}, 1);
    const RefusedCase cases[] = {
        {"no images", no_images, DecodeError::unrecognised},
        {"type 3", wrong_type, DecodeError::unrecognised},
        {"directory header cut", ByteVector(good.begin(), good.begin() + 5), DecodeError::truncated},
        {"directory entry cut", ByteVector(good.begin(), good.begin() + 20), DecodeError::truncated},
        {"image outside the file", offset_outside, DecodeError::malformed},
        {"image cut short", ByteVector(good.begin(), good.end() - 1), DecodeError::malformed},
        {"24 bits without the mask", icon_file(ICON, {{1, 1, no_mask}}), DecodeError::truncated},
        {"run-length image", icon_file(ICON, {{2, 1, run_length}}), DecodeError::unsupported},
    };
    expect_refused(open_icon, cases);
    // A PNG entry cut after its header fails in the PNG decoder, whatever it calls it.
    const ByteVector png = fixture_bytes("png_rgb.png");
    EXPECT_FALSE(decode_still(open_icon, icon_file(ICON, {{1, 1, ByteVector(png.begin(), png.begin() + 40)}})));
}

TEST(IconDecoder, DamagedFilesFailCleanly) {
    for (const char* name : {"icon_multi.ico", "cursor.cur", "icon_png_largest.ico"}) {
        SCOPED_TRACE(name);
        expect_damage_survived(open_icon, fixture_bytes(name), 1500);
    }
}

}  // namespace
}  // namespace vt::test
