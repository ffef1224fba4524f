// Shared by the decoder tests: fixture files, pixel reads and checks, a
// little-endian byte builder for pictures written field by field, and a
// sweep that feeds a decoder every truncation and many damaged copies of a
// good file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "shell/picbox/picture_decoder.h"

namespace vt::test {

using ByteVector = std::vector<std::uint8_t>;
using Opener = DecodeResult<std::unique_ptr<PictureDecoder>> (*)(std::span<const std::uint8_t>);

inline ByteVector fixture_bytes(const std::string& name) {
    const char* root = std::getenv("VT_SOURCE_DIR");
    const auto path = std::filesystem::path(root ? root : ".") / "tests/fixtures/pictures" / name;
    std::ifstream in(path, std::ios::binary);
    ByteVector bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << path;
    return bytes;
}

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgba& p) {
        return out << '(' << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ')';
    }
};

inline Rgba pixel_at(const RgbaImage& image, int x, int y) {
    const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// The first frame of `bytes` through `open`, or the error of either step.
inline DecodeResult<RgbaImage> decode_still(Opener open, const ByteVector& bytes) {
    auto decoder = open(bytes);
    if (!decoder) return decoder.error();
    auto frame = decoder.value()->frame(0, decoder.value()->size());
    if (!frame) return frame.error();
    return std::move(frame.value().image);
}

struct KnownPixel {
    int x, y;
    Rgba colour;
};

// `bytes` decode through `open` to a first frame of `width` x `height`
// with the `known` pixels.
inline void expect_pixels(Opener open, const std::string& what, const ByteVector& bytes, int width, int height,
                          std::initializer_list<KnownPixel> known) {
    SCOPED_TRACE(what);
    auto image = decode_still(open, bytes);
    ASSERT_TRUE(image) << "error " << static_cast<int>(image.error());
    ASSERT_EQ(image.value().width, width);
    ASSERT_EQ(image.value().height, height);
    for (const KnownPixel& p : known) EXPECT_EQ(pixel_at(image.value(), p.x, p.y), p.colour) << "at " << p.x << ", " << p.y;
}

// A damaged or unsupported picture and the error it must give.
struct RefusedCase {
    const char* what;
    ByteVector bytes;
    DecodeError expected;
};

inline void expect_refused(Opener open, std::span<const RefusedCase> cases) {
    for (const RefusedCase& c : cases) {
        auto result = decode_still(open, c.bytes);
        ASSERT_FALSE(result) << c.what;
        EXPECT_EQ(result.error(), c.expected) << c.what;
    }
}

// Little-endian fields appended in order, so a test can write a picture
// one commented field at a time.
class ByteWriter {
public:
    ByteWriter& u8(std::uint8_t value) {
        bytes_.push_back(value);
        return *this;
    }
    ByteWriter& u16(std::uint16_t value) { return u8(value & 0xFF).u8(value >> 8); }
    ByteWriter& u32(std::uint32_t value) { return u16(value & 0xFFFF).u16(value >> 16); }
    ByteWriter& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }
    ByteWriter& raw(std::initializer_list<std::uint8_t> values) {
        bytes_.insert(bytes_.end(), values);
        return *this;
    }
    ByteWriter& append(const ByteVector& values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    ByteWriter& zeros(std::size_t count) {
        bytes_.resize(bytes_.size() + count);
        return *this;
    }
    std::size_t size() const { return bytes_.size(); }
    // Overwrites a 32-bit field written earlier (sizes and offsets known
    // only at the end).
    void patch_u32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    const ByteVector& bytes() const { return bytes_; }

private:
    ByteVector bytes_;
};

// Every prefix of `bytes` and `mutations` copies with a few bytes changed
// at random (fixed seed): each must decode or fail with an error, never
// crash or read outside its input (the sanitizer builds watch that), and a
// decoded frame must have the size the decoder announced.
inline void expect_damage_survived(Opener open, const ByteVector& bytes, int mutations = 3000) {
    auto check = [&](const ByteVector& input) {
        auto decoder = open(input);
        if (!decoder) return;
        const PictureSize size = decoder.value()->size();
        auto frame = decoder.value()->frame(0, size);
        if (!frame) return;
        ASSERT_EQ(frame.value().image.width, size.width);
        ASSERT_EQ(frame.value().image.height, size.height);
        ASSERT_EQ(frame.value().image.pixels.size(), static_cast<std::size_t>(size.width) * size.height * 4);
    };
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        check(ByteVector(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    std::mt19937 random(12345);
    for (int i = 0; i < mutations; ++i) {
        ByteVector damaged = bytes;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            // Mostly the headers, where one byte changes the most.
            const std::size_t limit = random() % 2 ? std::min<std::size_t>(damaged.size(), 160) : damaged.size();
            damaged[random() % limit] = static_cast<std::uint8_t>(random());
        }
        check(damaged);
    }
}

}  // namespace vt::test
