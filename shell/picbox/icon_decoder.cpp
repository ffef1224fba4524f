// Icon and cursor files: a directory of images, each a DIB with its AND
// mask or a whole PNG. The largest image is shown.
#include <memory>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/dib_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::size_t DIRECTORY_HEADER_BYTES = 6;
constexpr std::size_t DIRECTORY_ENTRY_BYTES = 16;

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_icon(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    const auto count = in.u16(4);
    if (!count || *count == 0) return DecodeError::malformed;
    // The directory's sizes pick the entry; 0 stands for 256.
    std::size_t best = 0;
    long best_area = -1;
    for (std::size_t i = 0; i < *count; ++i) {
        const std::size_t entry = DIRECTORY_HEADER_BYTES + i * DIRECTORY_ENTRY_BYTES;
        const auto w = in.u8(entry), h = in.u8(entry + 1);
        if (!w || !h) return DecodeError::truncated;
        const long area = long{*w ? *w : 256} * long{*h ? *h : 256};
        if (area > best_area) {
            best_area = area;
            best = entry;
        }
    }
    const auto size = in.u32(best + 8), offset = in.u32(best + 12);
    if (!size || !offset || !in.has(*offset, *size)) return DecodeError::truncated;
    const auto image_bytes = bytes.subspan(*offset, *size);
    constexpr std::uint8_t png_signature[] = {0x89, 0x50, 0x4E, 0x47};
    if (image_bytes.size() >= 8 && std::equal(std::begin(png_signature), std::end(png_signature), image_bytes.begin())) {
        return open_png(image_bytes);
    }
    auto image = read_dib(image_bytes, 0, 0, DibUse::icon);
    if (!image) return image.error();
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(image.value())));
}

}  // namespace vt
