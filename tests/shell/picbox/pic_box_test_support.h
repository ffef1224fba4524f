// Shared by the picture box tests: pictures made on the spot as PNG bytes,
// and checks on rendered boxes.
#pragma once

#include <png.h>

#include <cstdlib>

#include "core/text.h"
#include "shell/picbox/pic_box.h"
#include "tests/shell/picbox/decoder_test_support.h"

namespace vt::test {

inline Bytes as_bytes(const ByteVector& bytes) {
    return Bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// `image` as an 8-bit RGBA PNG.
inline Bytes encode_png(const RgbaImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr));
    ByteVector bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr));
    bytes.resize(size);
    return as_bytes(bytes);
}

inline RgbaImage solid_image(int width, int height, Rgba colour) {
    RgbaImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), {std::uint8_t(colour.r), std::uint8_t(colour.g), std::uint8_t(colour.b), std::uint8_t(colour.a)});
    return image;
}

// True when every pixel of `image` is `colour`, opaque.
inline bool is_plain(const RgbaImage& image, Rgb colour) {
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        if (image.pixels[i] != colour.r || image.pixels[i + 1] != colour.g || image.pixels[i + 2] != colour.b || image.pixels[i + 3] != 255)
            return false;
    }
    return true;
}

}  // namespace vt::test
