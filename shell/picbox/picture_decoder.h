// One interface for every picture format: recognise the bytes, read the
// size, count the frames, decode frame i with its delay. Decoders never
// throw across this edge; a decoder that failed stays failed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <variant>

#include "shell/picbox/pic_box.h"

namespace vt {

enum class PictureFormat { none, bmp, jpeg, png, icon, cursor, gif, pcx8, pcx1 };

// The format named by the first 8 bytes, by the eight rules in their order;
// fewer than 8 bytes recognise nothing.
PictureFormat recognise_picture(std::span<const std::uint8_t> bytes) noexcept;

enum class DecodeError { unrecognised, truncated, malformed, too_large, unsupported };

template <class T>
class DecodeResult {
public:
    DecodeResult(T value) : value_(std::move(value)) {}
    DecodeResult(DecodeError error) : value_(error) {}
    bool ok() const noexcept { return std::holds_alternative<T>(value_); }
    explicit operator bool() const noexcept { return ok(); }
    T& value() { return std::get<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    DecodeError error() const { return std::get<DecodeError>(value_); }

private:
    std::variant<T, DecodeError> value_;
};

// A decoded frame. `pixels` are R, G, B, A with straight alpha. Formats
// whose alpha is to be ignored when drawn (BMP, JPEG, PCX) give 255.
struct PictureFrame {
    RgbaImage image;
    int delay_ms = 0;  // 0 for still pictures
};

struct PictureSize {
    int width = 0;
    int height = 0;
};

class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // The picture's natural size, from its header.
    virtual PictureSize size() const = 0;
    virtual int frame_count() const = 0;
    // Frame `index` (0-based). `at_least` is the size the caller will draw
    // it at: a decoder may hand back a smaller image than the natural size
    // that still covers it (JPEG's scaled decode); others ignore it.
    virtual DecodeResult<PictureFrame> frame(int index, PictureSize at_least) = 0;
};

// The decoder for `bytes` (which must outlive it), or why there is none.
// Reads only the header; frames decode on request.
DecodeResult<std::unique_ptr<PictureDecoder>> open_picture(std::span<const std::uint8_t> bytes);

// One factory per format, each in its own file.
DecodeResult<std::unique_ptr<PictureDecoder>> open_bmp(std::span<const std::uint8_t> bytes);
DecodeResult<std::unique_ptr<PictureDecoder>> open_jpeg(std::span<const std::uint8_t> bytes);
DecodeResult<std::unique_ptr<PictureDecoder>> open_png(std::span<const std::uint8_t> bytes);
DecodeResult<std::unique_ptr<PictureDecoder>> open_icon(std::span<const std::uint8_t> bytes);  // icon and cursor
DecodeResult<std::unique_ptr<PictureDecoder>> open_gif(std::span<const std::uint8_t> bytes);
DecodeResult<std::unique_ptr<PictureDecoder>> open_pcx(std::span<const std::uint8_t> bytes);   // 8-bit and 1-bit

}  // namespace vt
