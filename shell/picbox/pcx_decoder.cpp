// PCX with 8 bits per pixel (one plane and the 256-colour palette at the
// end, or three planes of red, green and blue) and with 1 bit per pixel
// (black and white).
#include <memory>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::size_t HEADER_BYTES = 128;
constexpr std::uint8_t MANUFACTURER = 0x0A;
constexpr std::uint8_t RUN_LENGTH_ENCODING = 1;
constexpr std::size_t PALETTE_BYTES = 768;
constexpr std::uint8_t PALETTE_MARK = 0x0C;
// A byte with both top bits set starts a run; its low six bits count it.
constexpr std::uint8_t RUN_MARK = 0xC0;
constexpr std::size_t LONGEST_RUN = 0x3F;

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bits = 0;
    int planes = 0;
    std::size_t line_bytes = 0;  // per plane, padding included
};

// The run-length stream, read one plane line at a time. Runs may cross
// the end of a line: the stream is one sequence.
class RunReader {
public:
    explicit RunReader(std::span<const std::uint8_t> data) : data_(data) {}
    bool fill(std::span<std::uint8_t> out) {
        for (std::size_t written = 0; written < out.size();) {
            if (run_left_ == 0 && !next_run()) return false;
            const std::size_t count = std::min(run_left_, out.size() - written);
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(written), count, run_value_);
            written += count;
            run_left_ -= count;
        }
        return true;
    }

private:
    bool next_run() {
        if (at_ >= data_.size()) return false;
        run_value_ = data_[at_++];
        run_left_ = 1;
        if ((run_value_ & RUN_MARK) == RUN_MARK) {
            if (at_ >= data_.size()) return false;
            run_left_ = run_value_ & LONGEST_RUN;  // may be 0: an empty run
            run_value_ = data_[at_++];
        }
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
    std::size_t run_left_ = 0;
    std::uint8_t run_value_ = 0;
};

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_pcx(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, HEADER_BYTES)) return DecodeError::truncated;
    if (bytes[0] != MANUFACTURER) return DecodeError::unrecognised;
    if (bytes[2] != RUN_LENGTH_ENCODING) return DecodeError::unsupported;
    Layout layout;
    layout.bits = bytes[3];
    layout.planes = bytes[65];
    layout.line_bytes = *in.u16(66);
    const auto x_min = *in.u16(4), y_min = *in.u16(6), x_max = *in.u16(8), y_max = *in.u16(10);
    if (x_max < x_min || y_max < y_min) return DecodeError::malformed;
    layout.width = std::int64_t{x_max} - x_min + 1;
    layout.height = std::int64_t{y_max} - y_min + 1;
    const bool palette_colour = layout.bits == 8 && layout.planes == 1;
    const bool rgb = layout.bits == 8 && layout.planes == 3;
    const bool black_and_white = layout.bits == 1 && layout.planes == 1;
    if (!palette_colour && !rgb && !black_and_white) return DecodeError::unsupported;
    if (!rgba_bytes_if_allowed(layout.width, layout.height)) return DecodeError::too_large;
    // Lines are padded, so a line may hold more bytes than its pixels need,
    // never fewer.
    const auto pixel_bytes = static_cast<std::size_t>(black_and_white ? (layout.width + 7) / 8 : layout.width);
    if (layout.line_bytes < pixel_bytes) return DecodeError::malformed;

    std::span<const std::uint8_t> data = bytes.subspan(HEADER_BYTES);
    const std::uint8_t* palette = nullptr;
    if (palette_colour) {
        if (data.size() < PALETTE_BYTES + 1 || bytes[bytes.size() - PALETTE_BYTES - 1] != PALETTE_MARK) return DecodeError::malformed;
        palette = bytes.data() + bytes.size() - PALETTE_BYTES;
        data = data.first(data.size() - PALETTE_BYTES - 1);
    }
    const std::size_t scan_bytes = layout.line_bytes * static_cast<std::size_t>(layout.planes);
    const std::size_t all_bytes = scan_bytes * static_cast<std::size_t>(layout.height);
    // Two bytes make at most one longest run: a shorter stream cannot fill
    // the picture, so it is refused before the picture is allocated.
    if (data.size() / 2 * LONGEST_RUN + data.size() % 2 < all_bytes) return DecodeError::truncated;

    auto image = allocate_image(layout.width, layout.height);
    if (!image) return DecodeError::too_large;
    RunReader runs(data);
    std::vector<std::uint8_t> line(scan_bytes);
    const auto width = static_cast<std::size_t>(layout.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(layout.height); ++y) {
        if (!runs.fill(line)) return DecodeError::truncated;
        std::uint8_t* target = image->pixels.data() + y * width * 4;
        for (std::size_t x = 0; x < width; ++x, target += 4) {
            if (black_and_white) {
                const std::uint8_t value = (line[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
                target[0] = target[1] = target[2] = value;
            } else if (palette) {
                const std::uint8_t* entry = palette + std::size_t{line[x]} * 3;
                target[0] = entry[0];
                target[1] = entry[1];
                target[2] = entry[2];
            } else {
                target[0] = line[x];
                target[1] = line[layout.line_bytes + x];
                target[2] = line[2 * layout.line_bytes + x];
            }
            target[3] = 255;
        }
    }
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(*image)));
}

}  // namespace vt
