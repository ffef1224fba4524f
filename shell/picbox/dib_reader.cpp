#include "shell/picbox/dib_reader.h"

#include <bit>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t CORE_HEADER_SIZE = 12;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;

struct Mask {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Mask(std::uint32_t m) : mask(m), shift(m ? std::countr_zero(m) : 0), bits(std::popcount(m)) {}
    std::uint8_t apply(std::uint32_t value) const {
        if (bits == 0) return 0;
        const std::uint32_t part = (value & mask) >> shift;
        const std::uint32_t top = (1u << std::min(bits, 31)) - 1;
        return static_cast<std::uint8_t>(bits >= 8 ? (part >> (bits - 8)) : (part * 255 + top / 2) / top);
    }
};

// Bytes of one stored row: bits rounded up to whole 32-bit words.
std::optional<std::size_t> row_bytes(std::int64_t width, int bits) {
    const std::int64_t total_bits = width * bits;
    return static_cast<std::size_t>(((total_bits + 31) / 32) * 4);
}

}  // namespace

DecodeResult<RgbaImage> read_dib(std::span<const std::uint8_t> file, std::size_t dib_offset, std::size_t pixel_offset, DibUse use) {
    const ByteReader in(file);
    const auto header_size = in.u32(dib_offset);
    if (!header_size) return DecodeError::truncated;
    std::int64_t width = 0, height = 0;
    int bits = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colors_used = 0;
    std::size_t palette_entry = 4;
    if (*header_size == CORE_HEADER_SIZE) {
        const auto w = in.u16(dib_offset + 4), h = in.u16(dib_offset + 6), b = in.u16(dib_offset + 10);
        if (!w || !h || !b) return DecodeError::truncated;
        width = *w;
        height = *h;
        bits = *b;
        palette_entry = 3;
    } else if (*header_size >= INFO_HEADER_SIZE) {
        const auto w = in.i32(dib_offset + 4), h = in.i32(dib_offset + 8);
        const auto b = in.u16(dib_offset + 14);
        const auto c = in.u32(dib_offset + 16), used = in.u32(dib_offset + 32);
        if (!w || !h || !b || !c || !used) return DecodeError::truncated;
        width = *w;
        height = *h;
        bits = *b;
        compression = *c;
        colors_used = *used;
    } else {
        return DecodeError::malformed;
    }
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (use == DibUse::icon) height /= 2;  // the AND mask doubles it
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return DecodeError::unsupported;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bits == 16 || bits == 32))) return DecodeError::unsupported;
    auto image = allocate_image(width, height);
    if (!image) return DecodeError::too_large;

    // Colour masks for 16 and 32 bits.
    std::uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
    if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
        masks[3] = use == DibUse::icon ? 0xFF000000u : 0;
    }
    std::size_t after_header = dib_offset + *header_size;
    if (compression == BI_BITFIELDS) {
        // In the longer headers the masks are part of it; after a 40-byte
        // header they follow it.
        const std::size_t at = *header_size >= 52 ? dib_offset + 40 : after_header;
        for (int i = 0; i < 3; ++i) {
            const auto m = in.u32(at + static_cast<std::size_t>(i) * 4);
            if (!m) return DecodeError::truncated;
            masks[i] = *m;
        }
        if (*header_size == INFO_HEADER_SIZE) after_header += 12;
    }
    const Mask red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

    std::size_t palette_count = 0;
    if (bits <= 8) palette_count = colors_used ? std::min<std::size_t>(colors_used, std::size_t{1} << bits) : std::size_t{1} << bits;
    const std::size_t palette_at = after_header;
    if (!in.has(palette_at, palette_count * palette_entry)) return DecodeError::truncated;
    const std::size_t pixels_at = use == DibUse::icon ? palette_at + palette_count * palette_entry : pixel_offset;
    const std::size_t stride = *row_bytes(width, bits);
    const std::size_t mask_stride = *row_bytes(width, 1);
    const std::size_t rows = static_cast<std::size_t>(height);
    if (!in.has(pixels_at, stride * rows)) return DecodeError::truncated;
    const std::size_t mask_at = pixels_at + stride * rows;
    const bool has_and_mask = use == DibUse::icon && in.has(mask_at, mask_stride * rows);

    bool any_alpha = false;
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t y = top_down ? row : rows - 1 - row;
        const std::uint8_t* source = file.data() + pixels_at + row * stride;
        std::uint8_t* target = image->pixels.data() + y * static_cast<std::size_t>(width) * 4;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, target += 4) {
            if (bits <= 8) {
                const std::size_t bit = x * static_cast<std::size_t>(bits);
                const unsigned index = (source[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index < palette_count) {
                    const std::uint8_t* entry = file.data() + palette_at + index * palette_entry;
                    target[0] = entry[2];
                    target[1] = entry[1];
                    target[2] = entry[0];
                }
                target[3] = 255;
            } else if (bits == 24) {
                target[0] = source[x * 3 + 2];
                target[1] = source[x * 3 + 1];
                target[2] = source[x * 3];
                target[3] = 255;
            } else {
                const std::uint32_t value = bits == 16 ? static_cast<std::uint32_t>(source[x * 2] | (source[x * 2 + 1] << 8))
                                                       : static_cast<std::uint32_t>(source[x * 4]) | (static_cast<std::uint32_t>(source[x * 4 + 1]) << 8) |
                                                             (static_cast<std::uint32_t>(source[x * 4 + 2]) << 16) | (static_cast<std::uint32_t>(source[x * 4 + 3]) << 24);
                target[0] = red.apply(value);
                target[1] = green.apply(value);
                target[2] = blue.apply(value);
                target[3] = alpha.bits ? alpha.apply(value) : 255;
                any_alpha = any_alpha || target[3] != 0;
            }
        }
    }
    if (use == DibUse::icon) {
        // 32-bit entries carry their own alpha; the others (and 32-bit ones
        // whose alpha is all zero) are cut out by the AND mask.
        const bool use_mask = !(bits == 32 && any_alpha);
        for (std::size_t row = 0; row < rows && use_mask; ++row) {
            const std::size_t y = top_down ? row : rows - 1 - row;
            std::uint8_t* target = image->pixels.data() + y * static_cast<std::size_t>(width) * 4;
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
                const bool transparent = has_and_mask && ((file[mask_at + row * mask_stride + x / 8] >> (7 - x % 8)) & 1);
                target[x * 4 + 3] = transparent ? 0 : 255;
            }
        }
    }
    return std::move(*image);
}

DecodeResult<std::unique_ptr<PictureDecoder>> open_bmp(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    const auto pixel_offset = in.u32(10);
    if (!pixel_offset) return DecodeError::truncated;
    auto image = read_dib(bytes, 14, *pixel_offset, DibUse::bmp);
    if (!image) return image.error();
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(image.value())));
}

}  // namespace vt
