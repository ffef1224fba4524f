#include <gtest/gtest.h>

#include "tests/shell/picbox/decoder_test_support.h"

namespace vt::test {
namespace {

constexpr Rgba RED{220, 30, 40, 255}, GOLD{250, 200, 60, 255}, BLUE{30, 60, 200, 255}, WHITE{250, 250, 250, 255},
    INK{20, 20, 20, 255}, BLACK{0, 0, 0, 255};

// Offsets of the fields the broken cases change.
constexpr std::size_t PIXEL_OFFSET_AT = 10, HEADER_SIZE_AT = 14, WIDTH_AT = 18, HEIGHT_AT = 22, PLANES_AT = 26, BITS_AT = 28,
                      COMPRESSION_AT = 30;

// A BMP with a 40-byte info header; `extra` (masks or palette) and
// `pixels` follow it.
ByteVector info_bmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression, const ByteVector& extra,
                    const ByteVector& pixels, std::uint32_t colours_used = 0) {
    ByteWriter w;
    w.raw({'B', 'M'})                                        // signature
        .u32(0)                                              // file size, patched below
        .u16(0)                                              // reserved
        .u16(0)                                              // reserved
        .u32(static_cast<std::uint32_t>(14 + 40 + extra.size()))  // where the pixels start
        .u32(40)                                             // info header size
        .i32(width)                                          //
        .i32(height)                                         // negative: top-down rows
        .u16(1)                                              // planes
        .u16(bits)                                           // bits per pixel
        .u32(compression)                                    // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
        .u32(static_cast<std::uint32_t>(pixels.size()))      // image bytes
        .i32(2835)                                           // 72 dpi across
        .i32(2835)                                           // and down
        .u32(colours_used)                                   // palette entries, 0 for all
        .u32(0);                                             // important colours
    w.append(extra).append(pixels);
    w.patch_u32(2, static_cast<std::uint32_t>(w.size()));
    return w.bytes();
}

ByteVector bgr0_palette(std::initializer_list<Rgba> colours) {
    ByteWriter w;
    for (const Rgba& c : colours) w.raw({static_cast<std::uint8_t>(c.b), static_cast<std::uint8_t>(c.g), static_cast<std::uint8_t>(c.r), 0});
    return w.bytes();
}

ByteVector with_u32(ByteVector bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

ByteVector with_u16(ByteVector bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = value & 0xFF;
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
    return bytes;
}

TEST(BmpDecoder, FixturesDecodeToTheirKnownPixels) {
    const auto quadrants = {KnownPixel{7, 5, RED}, {22, 5, GOLD}, {7, 15, BLUE}, {22, 15, WHITE}, {0, 0, RED}, {29, 19, WHITE}};
    for (const char* name : {"bmp_24.bmp", "bmp_24_top_down.bmp", "bmp_32_v5_bitfields.bmp"}) {
        expect_pixels(open_bmp, name, fixture_bytes(name), 30, 20, quadrants);
    }
    // The fourth byte runs 0, 85, 170, 255 by column; drawn opaque all the same.
    expect_pixels(open_bmp, "bmp_32.bmp", fixture_bytes("bmp_32.bmp"), 30, 20,
                  {{4, 5, RED}, {5, 5, RED}, {6, 5, RED}, {7, 5, RED}, {22, 15, WHITE}});
    expect_pixels(open_bmp, "bmp_8.bmp", fixture_bytes("bmp_8.bmp"), 13, 7, {{0, 0, RED}, {1, 0, GOLD}, {3, 0, WHITE}, {12, 6, BLUE}});
    expect_pixels(open_bmp, "bmp_4.bmp", fixture_bytes("bmp_4.bmp"), 9, 3, {{0, 0, RED}, {1, 0, GOLD}, {2, 2, BLUE}, {8, 2, BLUE}});
    expect_pixels(open_bmp, "bmp_1.bmp", fixture_bytes("bmp_1.bmp"), 9, 3, {{0, 0, INK}, {1, 0, WHITE}, {8, 2, INK}});
}

TEST(BmpDecoder, SixteenBitChannelsWidenToTheFullRange) {
    // 5-5-5 without masks: a 5-bit 16 is 16 * 255 / 31 = 131.6, so 132.
    ByteWriter five_five_five;
    five_five_five.u16(0x7C00).u16(0x03E0).u16(0x001F).u16(0x4210);  // red, green, blue, grey 16
    expect_pixels(open_bmp, "5-5-5", info_bmp(4, 1, 16, 0, {}, five_five_five.bytes()), 4, 1,
                  {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 255, 0, 255}}, {2, 0, {0, 0, 255, 255}}, {3, 0, {132, 132, 132, 255}}});
    // 5-6-5 through bit fields: a 6-bit 32 is 32 * 255 / 63 = 129.5, so 130.
    ByteWriter masks;
    masks.u32(0xF800).u32(0x07E0).u32(0x001F);
    ByteWriter five_six_five;
    five_six_five.u16(0xF800).u16(0x07E0).u16(0x0400).u16(0xFFFF);
    expect_pixels(open_bmp, "5-6-5", info_bmp(4, 1, 16, 3, masks.bytes(), five_six_five.bytes()), 4, 1,
                  {{0, 0, {255, 0, 0, 255}}, {1, 0, {0, 255, 0, 255}}, {2, 0, {0, 130, 0, 255}}, {3, 0, {255, 255, 255, 255}}});
}

TEST(BmpDecoder, CoreHeaderHasThreeBytePaletteEntries) {
    ByteWriter w;
    w.raw({'B', 'M'})        // signature
        .u32(0)              // file size, patched below
        .u32(0)              // reserved
        .u32(14 + 12 + 6)    // pixels after the two palette entries
        .u32(12)             // core header size
        .u16(3)              // width
        .u16(2)              // height, bottom-up
        .u16(1)              // planes
        .u16(1)              // bits per pixel
        .raw({200, 60, 30})  // entry 0: blue as B, G, R
        .raw({60, 200, 250}) // entry 1: gold
        .raw({0xA0, 0, 0, 0})  // bottom row: 1 0 1, padded to 4 bytes
        .raw({0x40, 0, 0, 0}); // top row: 0 1 0
    w.patch_u32(2, static_cast<std::uint32_t>(w.size()));
    expect_pixels(open_bmp, "core", w.bytes(), 3, 2, {{0, 0, BLUE}, {1, 0, GOLD}, {2, 0, BLUE}, {0, 1, GOLD}, {1, 1, BLUE}});
}

TEST(BmpDecoder, RunLengthPicturesFollowEveryEscape) {
    const ByteVector palette = bgr0_palette({RED, GOLD, BLUE, WHITE});
    const ByteVector rle8 = {
        0x03, 0x01,                    // bottom row: three gold
        0x00, 0x00,                    // end of line
        0x00, 0x03, 0x02, 0x00, 0x01, 0x00,  // literal blue, red, gold, padded to a 16-bit boundary
        0x01, 0x03,                    // one white
        0x00, 0x00,                    // end of line
        0x00, 0x02, 0x02, 0x00,        // jump two right, no row up
        0x02, 0x02,                    // two blue
        0x00, 0x01,                    // end of picture
    };
    expect_pixels(open_bmp, "RLE8", info_bmp(4, 3, 8, 1, palette, rle8, 4), 4, 3,
                  {{0, 2, GOLD}, {2, 2, GOLD}, {3, 2, BLACK},  // never written: black
                   {0, 1, BLUE}, {1, 1, RED}, {2, 1, GOLD}, {3, 1, WHITE},
                   {0, 0, BLACK}, {1, 0, BLACK}, {2, 0, BLUE}, {3, 0, BLUE}});

    const ByteVector rle4 = {
        0x05, 0x12,              // five pixels alternating 1 and 2
        0x00, 0x03, 0x30, 0x10,  // literal 3, 0, 1 (three nibbles in two bytes)
        0x00, 0x01,              // end of picture
    };
    expect_pixels(open_bmp, "RLE4", info_bmp(8, 1, 4, 2, palette, rle4, 4), 8, 1,
                  {{0, 0, GOLD}, {1, 0, BLUE}, {4, 0, GOLD}, {5, 0, WHITE}, {6, 0, RED}, {7, 0, GOLD}});

    // A run longer than the row is cut at its edge.
    expect_pixels(open_bmp, "RLE8 past the edge", info_bmp(2, 1, 8, 1, palette, {0x09, 0x02, 0x00, 0x01}, 4), 2, 1, {{0, 0, BLUE}, {1, 0, BLUE}});
}

TEST(BmpDecoder, IndexPastThePaletteIsBlack) {
    // Two entries declared, the pixels use 1 and 3.
    expect_pixels(open_bmp, "short palette", info_bmp(2, 1, 8, 0, bgr0_palette({RED, GOLD}), {1, 3, 0, 0}, 2), 2, 1, {{0, 0, GOLD}, {1, 0, BLACK}});
}

TEST(BmpDecoder, BrokenFilesGiveTheirError) {
    // 2 x 2, 24 bits: rows of 6 bytes padded to 8.
    const ByteVector good = info_bmp(2, 2, 24, 0, {}, ByteVector(16, 0x80));
    ASSERT_TRUE(decode_still(open_bmp, good));
    auto masked = [](std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        ByteWriter w;
        w.u32(red).u32(green).u32(blue);
        return info_bmp(1, 1, 16, 3, w.bytes(), {0, 0, 0, 0});
    };
    const RefusedCase cases[] = {
        {"shorter than the file header", ByteVector(good.begin(), good.begin() + 10), DecodeError::truncated},
        {"the file header alone", ByteVector(good.begin(), good.begin() + 14), DecodeError::truncated},
        {"last pixel byte missing", ByteVector(good.begin(), good.end() - 1), DecodeError::truncated},
        {"pixel offset past the end", with_u32(good, PIXEL_OFFSET_AT, 4000), DecodeError::truncated},
        {"header size 20", with_u32(good, HEADER_SIZE_AT, 20), DecodeError::malformed},
        {"header larger than the file", with_u32(good, HEADER_SIZE_AT, 400), DecodeError::truncated},
        {"no planes", with_u16(good, PLANES_AT, 0), DecodeError::malformed},
        {"2 bits per pixel", with_u16(good, BITS_AT, 2), DecodeError::unsupported},
        {"JPEG inside", with_u32(good, COMPRESSION_AT, 4), DecodeError::unsupported},
        {"RLE8 at 24 bits", with_u32(good, COMPRESSION_AT, 1), DecodeError::unsupported},
        {"width 0", with_u32(good, WIDTH_AT, 0), DecodeError::too_large},
        {"width 16385", with_u32(good, WIDTH_AT, 16385), DecodeError::too_large},
        {"negative width", with_u32(good, WIDTH_AT, 0xFFFFFFFE), DecodeError::too_large},
        {"height of the most negative int", with_u32(good, HEIGHT_AT, 0x80000000u), DecodeError::too_large},
        {"8000 x 8000 in 70 bytes", with_u32(with_u32(good, WIDTH_AT, 8000), HEIGHT_AT, 8000), DecodeError::truncated},
        {"palette missing", info_bmp(1, 1, 8, 0, {}, {0, 0, 0, 0}), DecodeError::truncated},
        {"bit fields missing", info_bmp(1, 1, 16, 3, {}, {}), DecodeError::truncated},
        {"mask in two runs", masked(0x0F0F, 0x00F0, 0), DecodeError::malformed},
        {"mask outside 16 bits", masked(0x1F0000, 0x07E0, 0x001F), DecodeError::malformed},
        {"run-length without its end", info_bmp(2, 2, 8, 1, bgr0_palette({RED}), {0x02, 0x00}, 1), DecodeError::truncated},
        {"run-length literal cut short", info_bmp(4, 1, 8, 1, bgr0_palette({RED}), {0x00, 0x04, 0x00}, 1), DecodeError::truncated},
    };
    expect_refused(open_bmp, cases);
}

TEST(BmpDecoder, DamagedFilesFailCleanly) {
    for (const char* name : {"bmp_8.bmp", "bmp_1.bmp", "bmp_32_v5_bitfields.bmp"}) {
        SCOPED_TRACE(name);
        expect_damage_survived(open_bmp, fixture_bytes(name));
    }
    const ByteVector rle = info_bmp(4, 3, 8, 1, bgr0_palette({RED, GOLD}),
                                    {0x03, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x01}, 2);
    expect_damage_survived(open_bmp, rle);
}

}  // namespace
}  // namespace vt::test
