// A decoder for a format that decodes in one go to one frame: it holds the
// frame and hands it out.
#pragma once

#include "shell/picbox/picture_decoder.h"
#include "shell/picbox/picture_limits.h"

namespace vt {

class StillPicture final : public PictureDecoder {
public:
    explicit StillPicture(RgbaImage image) : image_(std::move(image)) {}
    PictureSize size() const override { return {image_.width, image_.height}; }
    int frame_count() const override { return 1; }
    DecodeResult<PictureFrame> frame(int index, PictureSize) override {
        if (index != 0) return DecodeError::malformed;
        return PictureFrame{image_, 0};
    }

private:
    RgbaImage image_;
};

// An image of width x height, all zero, or nothing when the size is beyond
// the limits.
inline std::optional<RgbaImage> allocate_image(std::int64_t width, std::int64_t height) {
    const auto bytes = rgba_bytes_if_allowed(width, height);
    if (!bytes) return std::nullopt;
    return RgbaImage{static_cast<int>(width), static_cast<int>(height), std::vector<std::uint8_t>(*bytes)};
}

}  // namespace vt
