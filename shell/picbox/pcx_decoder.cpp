// PCX with 8 bits per pixel (a 256-colour palette at the end, or three
// planes of RGB) and with 1 bit per pixel (black and white).
#include <memory>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::size_t HEADER_BYTES = 128;
constexpr std::size_t PALETTE_BYTES = 768;
constexpr std::uint8_t PALETTE_MARK = 0x0C;
constexpr std::uint8_t RUN_MARK = 0xC0;

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_pcx(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, HEADER_BYTES)) return DecodeError::truncated;
    const int bits = bytes[3];
    const auto xmin = *in.u16(4), ymin = *in.u16(6), xmax = *in.u16(8), ymax = *in.u16(10);
    const int planes = bytes[65];
    const std::size_t line_bytes = *in.u16(66);
    if (xmax < xmin || ymax < ymin) return DecodeError::malformed;
    const std::int64_t width = std::int64_t{xmax} - xmin + 1;
    const std::int64_t height = std::int64_t{ymax} - ymin + 1;
    const bool eight_bit = bits == 8 && (planes == 1 || planes == 3);
    const bool one_bit = bits == 1 && planes == 1;
    if (!eight_bit && !one_bit) return DecodeError::unsupported;
    const std::size_t needed_line = one_bit ? static_cast<std::size_t>((width + 7) / 8) : static_cast<std::size_t>(width);
    if (line_bytes < needed_line) return DecodeError::malformed;
    auto image = allocate_image(width, height);
    if (!image) return DecodeError::too_large;

    std::span<const std::uint8_t> data = bytes.subspan(HEADER_BYTES);
    const std::uint8_t* palette = nullptr;
    if (eight_bit && planes == 1) {
        if (bytes.size() < HEADER_BYTES + PALETTE_BYTES + 1 || bytes[bytes.size() - PALETTE_BYTES - 1] != PALETTE_MARK)
            return DecodeError::malformed;
        palette = bytes.data() + bytes.size() - PALETTE_BYTES;
        data = data.first(data.size() - PALETTE_BYTES - 1);
    }

    // Runs may cross line ends: the data is one stream of scan lines.
    const std::size_t scan_bytes = line_bytes * static_cast<std::size_t>(planes);
    std::vector<std::uint8_t> line(scan_bytes);
    std::size_t at = 0;
    std::size_t run_left = 0;
    std::uint8_t run_value = 0;
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < scan_bytes; ++i) {
            if (run_left == 0) {
                if (at >= data.size()) return DecodeError::truncated;
                const std::uint8_t byte = data[at++];
                if ((byte & RUN_MARK) == RUN_MARK) {
                    if (at >= data.size()) return DecodeError::truncated;
                    run_left = byte & 0x3F;
                    run_value = data[at++];
                    if (run_left == 0) {
                        --i;  // an empty run writes nothing
                        continue;
                    }
                } else {
                    run_left = 1;
                    run_value = byte;
                }
            }
            line[i] = run_value;
            --run_left;
        }
        std::uint8_t* target = image->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, target += 4) {
            if (one_bit) {
                const std::uint8_t value = ((line[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0;
                target[0] = target[1] = target[2] = value;
            } else if (palette) {
                const std::uint8_t* entry = palette + std::size_t{line[x]} * 3;
                target[0] = entry[0];
                target[1] = entry[1];
                target[2] = entry[2];
            } else {
                target[0] = line[x];
                target[1] = line[line_bytes + x];
                target[2] = line[2 * line_bytes + x];
            }
            target[3] = 255;
        }
    }
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(*image)));
}

}  // namespace vt
