#include <gtest/gtest.h>

#include <string>

#include "shell/picbox/picture_decoder.h"

namespace vt {
namespace {

std::span<const std::uint8_t> as_bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Recognition, EightRulesInOrderOnTheFirstEightBytes) {
    const struct {
        std::string bytes;
        PictureFormat format;
    } cases[] = {
        {std::string("BM\0\0\0\0\0\0", 8), PictureFormat::bmp},
        {std::string("BM\0\0\0\0\0", 7), PictureFormat::none},  // only 7 bytes
        {"BMW is a maker of cars", PictureFormat::bmp},          // the prefix alone decides
        {std::string("\xFF\xD8\xFF\xE0\0\0\0\0", 8), PictureFormat::jpeg},
        {std::string("\xFF\xD8\xFF\xE0\0\0\0", 7), PictureFormat::none},
        {std::string("\x89PNG\r\n\x1a\n", 8), PictureFormat::png},
        {std::string("\x89PNX\r\n\x1a\n", 8), PictureFormat::none},
        {std::string("\0\0\1\0\1\0\0\0", 8), PictureFormat::icon},
        {std::string("\0\0\1\0\0\1\0\0", 8), PictureFormat::icon},  // count 256, little-endian
        {std::string("\0\0\1\0\0\0\0\0", 8), PictureFormat::none},  // icon with no images
        {std::string("\0\0\2\0\2\0\0\0", 8), PictureFormat::cursor},
        {std::string("\0\0\2\0\0\0\0\0", 8), PictureFormat::none},  // cursor with count 0
        {std::string("\0\0\3\0\1\0\0\0", 8), PictureFormat::none},
        {std::string("GIF87a\0\0", 8), PictureFormat::gif},
        {std::string("GIF89a\0\0", 8), PictureFormat::gif},
        {std::string("GIF87b\0\0", 8), PictureFormat::none},
        {std::string("GIF88a\0\0", 8), PictureFormat::none},
        {std::string("GIF89A\0\0", 8), PictureFormat::none},
        {std::string("\x0A\x00\x01\x08\0\0\0\0", 8), PictureFormat::pcx8},
        {std::string("\x0A\x05\x01\x08\0\0\0\0", 8), PictureFormat::pcx8},
        {std::string("\x0A\x06\x01\x08\0\0\0\0", 8), PictureFormat::none},  // version above 5
        {std::string("\x0A\x03\x01\x08\0\0\0\0", 8), PictureFormat::pcx8},  // rule 7 before rule 8
        {std::string("\x0A\x05\x00\x08\0\0\0\0", 8), PictureFormat::none},  // not run-length encoded
        {std::string("\x0A\x03\x01\x01\0\0\0\0", 8), PictureFormat::pcx1},
        {std::string("\x0A\x05\x01\x01\0\0\0\0", 8), PictureFormat::none},  // 1 bit needs version 3
        {std::string("\x0A\x03\x01\x04\0\0\0\0", 8), PictureFormat::none},
        {std::string("RIFF\0\0\0\0WEBPVP8 ", 16), PictureFormat::none},  // readable elsewhere, not here
        {std::string("II*\0\x08\0\0\0", 8), PictureFormat::none},
        {"<!DOCTYPE html>", PictureFormat::none},
        {"", PictureFormat::none},
    };
    for (const auto& c : cases) EXPECT_EQ(recognise_picture(as_bytes(c.bytes)), c.format) << testing::PrintToString(c.bytes);
}

TEST(Recognition, UnrecognisedBytesOpenNoDecoder) {
    for (const std::string& bytes : {std::string("GIF87b\0\0\0\0", 10), std::string("<html>404 Not Found</html>"), std::string()}) {
        const auto opened = open_picture(as_bytes(bytes));
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error(), DecodeError::unrecognised);
    }
    // Recognised but not a picture: the decoder of the format refuses it.
    const auto opened = open_picture(as_bytes("BMW is a maker of cars"));
    ASSERT_FALSE(opened);
    EXPECT_NE(opened.error(), DecodeError::unrecognised);
}

}  // namespace
}  // namespace vt
