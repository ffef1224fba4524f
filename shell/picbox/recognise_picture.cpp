#include "shell/picbox/picture_decoder.h"

namespace vt {

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix) {
    std::size_t i = 0;
    for (const std::uint8_t expected : prefix) {
        if (bytes[i++] != expected) return false;
    }
    return true;
}

std::uint16_t little_endian_16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

}  // namespace

PictureFormat recognise_picture(std::span<const std::uint8_t> bytes) noexcept {
    // Only the first 8 bytes decide; fewer recognise nothing.
    if (bytes.size() < 8) return PictureFormat::none;
    if (starts_with(bytes, {0x42, 0x4D})) return PictureFormat::bmp;
    if (starts_with(bytes, {0xFF, 0xD8})) return PictureFormat::jpeg;
    if (starts_with(bytes, {0x89, 0x50, 0x4E, 0x47})) return PictureFormat::png;
    if (starts_with(bytes, {0x00, 0x00, 0x01, 0x00}) && little_endian_16(bytes, 4) > 0) return PictureFormat::icon;
    if (starts_with(bytes, {0x00, 0x00, 0x02, 0x00}) && little_endian_16(bytes, 4) > 0) return PictureFormat::cursor;
    if (starts_with(bytes, {0x47, 0x49, 0x46, 0x38}) && (bytes[4] == 0x37 || bytes[4] == 0x39) && bytes[5] == 0x61)
        return PictureFormat::gif;
    if (bytes[0] == 0x0A && bytes[1] <= 0x05 && bytes[2] == 0x01 && bytes[3] == 0x08) return PictureFormat::pcx8;
    if (starts_with(bytes, {0x0A, 0x03, 0x01, 0x01})) return PictureFormat::pcx1;
    return PictureFormat::none;
}

DecodeResult<std::unique_ptr<PictureDecoder>> open_picture(std::span<const std::uint8_t> bytes) {
    switch (recognise_picture(bytes)) {
        case PictureFormat::bmp: return open_bmp(bytes);
        case PictureFormat::jpeg: return open_jpeg(bytes);
        case PictureFormat::png: return open_png(bytes);
        case PictureFormat::icon:
        case PictureFormat::cursor: return open_icon(bytes);
        case PictureFormat::gif: return open_gif(bytes);
        case PictureFormat::pcx8:
        case PictureFormat::pcx1: return open_pcx(bytes);
        case PictureFormat::none: break;
    }
    return DecodeError::unrecognised;
}

}  // namespace vt
