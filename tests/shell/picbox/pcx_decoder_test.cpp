#include <gtest/gtest.h>

#include "tests/shell/picbox/decoder_test_support.h"

namespace vt::test {
namespace {

constexpr Rgba WHITE{255, 255, 255, 255}, BLACK{0, 0, 0, 255};

// A 128-byte PCX header followed by `body`.
ByteVector pcx(std::uint8_t version, std::uint8_t bits, std::uint8_t planes, std::uint16_t width, std::uint16_t height,
               std::uint16_t line_bytes, const ByteVector& body) {
    ByteWriter w;
    w.u8(0x0A)                               // manufacturer
        .u8(version)                         // 5 has the 256-colour palette
        .u8(1)                               // encoding: run-length
        .u8(bits)                            // bits per pixel in a plane
        .u16(0)                              // x min
        .u16(0)                              // y min
        .u16(static_cast<std::uint16_t>(width - 1))   // x max, inclusive
        .u16(static_cast<std::uint16_t>(height - 1))  // y max
        .u16(72)                             // dots per inch across
        .u16(72)                             // and down
        .zeros(48)                           // 16-colour palette
        .u8(0)                               // reserved
        .u8(planes)                          // colour planes
        .u16(line_bytes)                     // bytes of one plane line
        .u16(1)                              // palette info
        .zeros(58);                          // screen size and filler
    return w.append(body).bytes();
}

// The 256-colour palette block: its mark, then entry i = (i, 255 - i, 7).
ByteVector palette_block() {
    ByteVector block = {0x0C};
    for (int i = 0; i < 256; ++i) block.insert(block.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7});
    return block;
}

ByteVector concat(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Rgba entry(int i) { return {i, 255 - i, 7, 255}; }

void expect_image(const std::string& what, const ByteVector& bytes, int width, int height) {
    auto image = decode_still(open_pcx, bytes);
    ASSERT_TRUE(image) << what << ": error " << static_cast<int>(image.error());
    EXPECT_EQ(image.value().width, width) << what;
    EXPECT_EQ(image.value().height, height) << what;
}

TEST(PcxDecoder, EightBitFixtureUsesThePaletteAtTheEnd) {
    auto image = decode_still(open_pcx, fixture_bytes("pcx_8.pcx"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image.value().width, 33);
    ASSERT_EQ(image.value().height, 20);
    EXPECT_EQ(pixel_at(image.value(), 8, 5), (Rgba{220, 30, 40, 255}));
    EXPECT_EQ(pixel_at(image.value(), 24, 5), (Rgba{250, 200, 60, 255}));
    EXPECT_EQ(pixel_at(image.value(), 8, 15), (Rgba{30, 60, 200, 255}));
    EXPECT_EQ(pixel_at(image.value(), 32, 19), (Rgba{250, 250, 250, 255})) << "the last column, just before the pad byte";
}

TEST(PcxDecoder, OneBitFixtureKeepsTheLastPixelsOfEachLine) {
    // 21 pixels in 4 bytes a line; the pad bits are all ones and must not
    // show. White where (x + y) % 3 == 0.
    auto image = decode_still(open_pcx, fixture_bytes("pcx_1.pcx"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image.value().width, 21);
    ASSERT_EQ(image.value().height, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 21; ++x) {
            ASSERT_EQ(pixel_at(image.value(), x, y), (x + y) % 3 == 0 ? WHITE : BLACK) << x << ", " << y;
        }
    }
}

TEST(PcxDecoder, RunsAndLiteralsAcrossLines) {
    // 3 x 2, 8 bits, 4 bytes a line (one pad byte).
    const ByteVector body = {
        0xC3, 0x05,  // run of 3: value 5 (first line)
        0xC0, 0x09,  // empty run: writes nothing
        0xC3, 0x06,  // run of 3 crossing the line end: pad byte, then 6 6 on line 2
        0xC1, 0xC8,  // a value of 0xC0 or more travels as a run of 1
        0x00,        // line 2's pad byte, a literal
    };
    auto image = decode_still(open_pcx, concat(pcx(5, 8, 1, 3, 2, 4, body), palette_block()));
    ASSERT_TRUE(image) << static_cast<int>(image.error());
    EXPECT_EQ(pixel_at(image.value(), 0, 0), entry(5));
    EXPECT_EQ(pixel_at(image.value(), 2, 0), entry(5));
    EXPECT_EQ(pixel_at(image.value(), 0, 1), entry(6));
    EXPECT_EQ(pixel_at(image.value(), 1, 1), entry(6));
    EXPECT_EQ(pixel_at(image.value(), 2, 1), entry(0xC8));
}

TEST(PcxDecoder, ThreePlanesGiveRedGreenBlue) {
    // 2 x 1: a line is 2 red bytes, 2 green, 2 blue.
    const ByteVector body = {10, 11, 20, 21, 30, 31};
    auto image = decode_still(open_pcx, pcx(5, 8, 3, 2, 1, 2, body));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixel_at(image.value(), 0, 0), (Rgba{10, 20, 30, 255}));
    EXPECT_EQ(pixel_at(image.value(), 1, 0), (Rgba{11, 21, 31, 255}));
}

TEST(PcxDecoder, BrokenFilesGiveTheirError) {
    const ByteVector good = concat(pcx(5, 8, 1, 2, 2, 2, {1, 2, 3, 4}), palette_block());
    expect_image("good", good, 2, 2);
    ByteVector no_mark = good;
    no_mark[no_mark.size() - 769] = 0x0B;
    ByteVector window_backwards = good;
    window_backwards[8] = 0, window_backwards[4] = 1;  // x max 0 < x min 1
    ByteVector stored = good;
    stored[2] = 0;  // encoding 0
    const RefusedCase cases[] = {
        {"header cut", ByteVector(good.begin(), good.begin() + 127), DecodeError::truncated},
        {"palette mark missing", no_mark, DecodeError::malformed},
        {"palette missing", pcx(5, 8, 1, 2, 2, 2, {1, 2, 3, 4}), DecodeError::malformed},
        {"pixels cut", concat(pcx(5, 8, 1, 2, 2, 2, {1, 2, 3}), palette_block()), DecodeError::truncated},
        {"run value cut", pcx(3, 1, 1, 8, 1, 2, {0xC2}), DecodeError::truncated},
        {"window backwards", window_backwards, DecodeError::malformed},
        {"lines shorter than their pixels", pcx(3, 1, 1, 17, 1, 2, {0xC3, 0x00}), DecodeError::malformed},
        {"4 bits", pcx(5, 4, 1, 2, 2, 2, {}), DecodeError::unsupported},
        {"8 bits in 2 planes", pcx(5, 8, 2, 2, 2, 2, {}), DecodeError::unsupported},
        {"not run-length coded", stored, DecodeError::unsupported},
        {"wider than allowed", pcx(3, 1, 1, 16385, 1, 2050, {}), DecodeError::too_large},
        // 16384 x 3900 in a few bytes: refused before the picture is allocated.
        {"huge picture, tiny stream", pcx(3, 1, 1, 16384, 3900, 2048, {0xFF, 0x00}), DecodeError::truncated},
    };
    expect_refused(open_pcx, cases);
}

TEST(PcxDecoder, DamagedFilesFailCleanly) {
    for (const char* name : {"pcx_8.pcx", "pcx_1.pcx"}) {
        SCOPED_TRACE(name);
        expect_damage_survived(open_pcx, fixture_bytes(name));
    }
    expect_damage_survived(open_pcx, pcx(5, 8, 3, 2, 1, 2, {10, 11, 20, 21, 30, 31}));
}

}  // namespace
}  // namespace vt::test
