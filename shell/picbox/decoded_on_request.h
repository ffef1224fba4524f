// A one-frame picture that a library decodes only when the frame is asked
// for: opening reads the header alone, so the size is checked against the
// limits before any pixel is allocated.
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "shell/picbox/picture_decoder.h"

namespace vt {

// Reads the header into `size` and, when `pixels` is given, the frame into
// it, no smaller than `at_least` where the format can decode smaller; says
// why it failed, if it did.
using HeaderAndPixelsReader = std::optional<DecodeError> (*)(std::span<const std::uint8_t> bytes, PictureSize at_least,
                                                              PictureSize& size, RgbaImage* pixels);

class DecodedOnRequest final : public PictureDecoder {
public:
    static DecodeResult<std::unique_ptr<PictureDecoder>> open(std::span<const std::uint8_t> bytes,
                                                               HeaderAndPixelsReader read) {
        PictureSize size;
        if (const auto error = read(bytes, {}, size, nullptr)) return *error;
        return std::unique_ptr<PictureDecoder>(new DecodedOnRequest(bytes, size, read));
    }

    PictureSize size() const override { return size_; }
    int frame_count() const override { return 1; }
    DecodeResult<PictureFrame> frame(int index, PictureSize at_least) override {
        if (index != 0 || failed_) return DecodeError::malformed;
        PictureSize size;
        PictureFrame frame;
        if (const auto error = read_(bytes_, at_least, size, &frame.image)) {
            failed_ = true;  // a decoder that failed stays failed
            return *error;
        }
        return frame;
    }

private:
    DecodedOnRequest(std::span<const std::uint8_t> bytes, PictureSize size, HeaderAndPixelsReader read)
        : bytes_(bytes), size_(size), read_(read) {}

    std::span<const std::uint8_t> bytes_;
    PictureSize size_;
    HeaderAndPixelsReader read_;
    bool failed_ = false;
};

}  // namespace vt
