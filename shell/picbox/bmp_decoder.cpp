// BMP files and the device-independent bitmaps inside icon and cursor
// entries: core and info headers up to version 5; 1, 4, 8, 16, 24 and 32
// bits; bottom-up and top-down; BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS,
// and run-length coded 4- and 8-bit pictures.
#include <bit>
#include <memory>
#include <optional>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/dib_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::size_t FILE_HEADER_BYTES = 14;
constexpr std::uint32_t CORE_HEADER_BYTES = 12;
constexpr std::uint32_t INFO_HEADER_BYTES = 40;
// Version 2 of the info header and later carry the colour masks at byte 40,
// version 3 and later the alpha mask at byte 52.
constexpr std::uint32_t HEADER_WITH_COLOUR_MASKS = 52;
constexpr std::uint32_t HEADER_WITH_ALPHA_MASK = 56;
// The OS/2 version 2 header: same first 40 bytes, but its compression 3 is
// Huffman coding, not bit fields.
constexpr std::uint32_t OS2_HEADER_BYTES = 64;

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

// One colour channel inside a 16- or 32-bit pixel, widened to 8 bits.
class Channel {
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask)
        : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0), max_(mask ? mask >> shift_ : 0) {}
    bool present() const { return mask_ != 0; }
    // A mask must be one run of bits inside the pixel, or nothing at all.
    bool valid_for(int bits) const {
        if (!mask_) return true;
        const bool one_run = ((max_ + 1) & max_) == 0;
        const bool inside = bits == 32 || (mask_ >> bits) == 0;
        return one_run && inside;
    }
    std::uint8_t read(std::uint32_t pixel) const {
        if (!mask_) return 0;
        const std::uint64_t value = (pixel & mask_) >> shift_;
        return static_cast<std::uint8_t>((value * 255 + max_ / 2) / max_);  // rounded to nearest
    }

private:
    std::uint32_t mask_ = 0;
    int shift_ = 0;
    std::uint64_t max_ = 0;
};

struct DibLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;  // of the picture, without an icon's mask
    bool top_down = false;
    int bits = 0;
    std::uint32_t compression = BI_RGB;
    Channel red, green, blue, alpha;
    std::size_t palette_at = 0;
    std::size_t palette_count = 0;
    std::size_t palette_entry_bytes = 4;
    std::size_t stride = 0;  // bytes of one stored row: whole 32-bit words
};

std::size_t row_stride(std::int64_t width, int bits) {
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

DecodeResult<DibLayout> read_layout(const ByteReader& in, std::size_t dib_offset, DibUse use) {
    DibLayout layout;
    const auto header_bytes = in.u32(dib_offset);
    if (!header_bytes) return DecodeError::truncated;
    if (*header_bytes != CORE_HEADER_BYTES && *header_bytes < INFO_HEADER_BYTES) return DecodeError::malformed;
    if (!in.has(dib_offset, *header_bytes)) return DecodeError::truncated;

    std::uint32_t colours_used = 0;
    if (*header_bytes == CORE_HEADER_BYTES) {
        layout.width = *in.u16(dib_offset + 4);
        layout.height = *in.u16(dib_offset + 6);
        layout.bits = *in.u16(dib_offset + 10);
        layout.palette_entry_bytes = 3;
    } else {
        layout.width = *in.i32(dib_offset + 4);
        layout.height = *in.i32(dib_offset + 8);
        layout.bits = *in.u16(dib_offset + 14);
        layout.compression = *in.u32(dib_offset + 16);
        colours_used = *in.u32(dib_offset + 32);
    }
    if (*in.u16(dib_offset + (*header_bytes == CORE_HEADER_BYTES ? 8 : 12)) != 1) return DecodeError::malformed;  // planes
    layout.top_down = layout.height < 0;
    if (layout.top_down) layout.height = -layout.height;
    if (use == DibUse::icon) layout.height /= 2;  // the AND mask doubles it
    if (!rgba_bytes_if_allowed(layout.width, layout.height)) return DecodeError::too_large;

    const int bits = layout.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return DecodeError::unsupported;
    const std::uint32_t compression = layout.compression;
    const bool bit_fields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if (*header_bytes == OS2_HEADER_BYTES && compression != BI_RGB) return DecodeError::unsupported;
    if (compression != BI_RGB && !(bit_fields && (bits == 16 || bits == 32)) && !(compression == BI_RLE8 && bits == 8) &&
        !(compression == BI_RLE4 && bits == 4))
        return DecodeError::unsupported;
    // Run-length data has no fixed size, so nothing would say where an
    // icon's mask begins.
    if (rle && use == DibUse::icon) return DecodeError::unsupported;

    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
        masks[3] = 0xFF000000;
    }
    std::size_t after_header = dib_offset + *header_bytes;
    if (bit_fields) {
        // After a plain info header the masks follow it; the later headers
        // hold them.
        const std::size_t mask_count = compression == BI_ALPHABITFIELDS ? 4 : 3;
        const bool in_header = *header_bytes >= HEADER_WITH_COLOUR_MASKS;
        const std::size_t at = in_header ? dib_offset + INFO_HEADER_BYTES : after_header;
        for (std::size_t i = 0; i < mask_count; ++i) {
            const auto mask = in.u32(at + i * 4);
            if (!mask) return DecodeError::truncated;
            masks[i] = *mask;
        }
        if (compression == BI_BITFIELDS) {
            masks[3] = *header_bytes >= HEADER_WITH_ALPHA_MASK ? *in.u32(dib_offset + HEADER_WITH_COLOUR_MASKS) : 0;
        }
        if (!in_header) after_header += mask_count * 4;
    }
    layout.red = Channel(masks[0]);
    layout.green = Channel(masks[1]);
    layout.blue = Channel(masks[2]);
    layout.alpha = Channel(masks[3]);
    for (const Channel* channel : {&layout.red, &layout.green, &layout.blue, &layout.alpha}) {
        if (!channel->valid_for(bits)) return DecodeError::malformed;
    }

    if (bits <= 8) {
        const std::size_t full = std::size_t{1} << bits;
        layout.palette_count = colours_used == 0 ? full : std::min<std::size_t>(colours_used, full);
    }
    layout.palette_at = after_header;
    if (!in.has(layout.palette_at, layout.palette_count * layout.palette_entry_bytes)) return DecodeError::truncated;
    layout.stride = row_stride(layout.width, bits);
    return layout;
}

std::uint8_t* row_of(RgbaImage& image, const DibLayout& layout, std::size_t stored_row) {
    const std::size_t rows = static_cast<std::size_t>(layout.height);
    const std::size_t y = layout.top_down ? stored_row : rows - 1 - stored_row;
    return image.pixels.data() + y * static_cast<std::size_t>(layout.width) * 4;
}

void put_palette_colour(std::uint8_t* target, std::span<const std::uint8_t> file, const DibLayout& layout, unsigned index) {
    // An index past the palette stays black.
    if (index < layout.palette_count) {
        const std::uint8_t* entry = file.data() + layout.palette_at + index * layout.palette_entry_bytes;
        target[0] = entry[2];
        target[1] = entry[1];
        target[2] = entry[0];
    }
    target[3] = 255;
}

void read_rows(std::span<const std::uint8_t> file, std::size_t pixels_at, const DibLayout& layout, DibUse use, RgbaImage& image) {
    const int bits = layout.bits;
    const auto width = static_cast<std::size_t>(layout.width);
    const bool keep_alpha = use == DibUse::icon && layout.alpha.present();
    for (std::size_t row = 0; row < static_cast<std::size_t>(layout.height); ++row) {
        const std::uint8_t* source = file.data() + pixels_at + row * layout.stride;
        std::uint8_t* target = row_of(image, layout, row);
        for (std::size_t x = 0; x < width; ++x, target += 4) {
            if (bits <= 8) {
                const std::size_t bit = x * static_cast<std::size_t>(bits);
                const unsigned index = (source[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                put_palette_colour(target, file, layout, index);
            } else if (bits == 24) {
                target[0] = source[x * 3 + 2];
                target[1] = source[x * 3 + 1];
                target[2] = source[x * 3];
                target[3] = 255;
            } else {
                const std::uint8_t* p = source + x * static_cast<std::size_t>(bits / 8);
                std::uint32_t value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
                if (bits == 32) value |= (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
                target[0] = layout.red.read(value);
                target[1] = layout.green.read(value);
                target[2] = layout.blue.read(value);
                target[3] = keep_alpha ? layout.alpha.read(value) : 255;
            }
        }
    }
}

// Run-length coded pixels: pairs of (count, colour), or an escape 0 then
// 0 end of line, 1 end of picture, 2 a jump right and up, or n >= 3 that many
// literal indices padded to a 16-bit boundary. Pixels never written stay
// black; writes beyond the picture are dropped. Nothing on success.
std::optional<DecodeError> read_run_length(std::span<const std::uint8_t> data, const DibLayout& layout, RgbaImage& image,
                            std::span<const std::uint8_t> file) {
    const bool four_bit = layout.compression == BI_RLE4;
    const auto width = static_cast<std::size_t>(layout.width);
    const auto rows = static_cast<std::size_t>(layout.height);
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
    std::size_t x = 0, row = 0, at = 0;
    auto put = [&](unsigned index) {
        if (x < width && row < rows) put_palette_colour(row_of(image, layout, row) + x * 4, file, layout, index);
        ++x;
    };
    while (true) {
        if (data.size() - at < 2) return DecodeError::truncated;
        const std::uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) put(four_bit ? (i % 2 ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return std::nullopt;
        } else if (value == 2) {
            if (data.size() - at < 2) return DecodeError::truncated;
            x += data[at];
            row += data[at + 1];
            at += 2;
        } else {
            const std::size_t literal_bytes = four_bit ? (value + 1u) / 2 : value;
            const std::size_t padded = (literal_bytes + 1) & ~std::size_t{1};
            if (data.size() - at < padded) return DecodeError::truncated;
            for (unsigned i = 0; i < value; ++i) {
                const std::uint8_t byte = data[at + (four_bit ? i / 2 : i)];
                put(four_bit ? (i % 2 ? byte & 0x0F : byte >> 4) : byte);
            }
            at += padded;
        }
        if (row >= rows) return std::nullopt;  // past the last row: nothing more can show
    }
}

// Icons cut their picture out with the AND mask (1 = transparent), unless
// a 32-bit picture carries alpha of its own. Nothing on success.
std::optional<DecodeError> apply_and_mask(std::span<const std::uint8_t> file, std::size_t mask_at, const DibLayout& layout, RgbaImage& image) {
    if (layout.bits == 32 && layout.alpha.present()) {
        for (std::size_t i = 3; i < image.pixels.size(); i += 4) {
            if (image.pixels[i] != 0) return std::nullopt;  // alpha in use: the mask is ignored
        }
    }
    const std::size_t mask_stride = row_stride(layout.width, 1);
    const auto rows = static_cast<std::size_t>(layout.height);
    if (!ByteReader(file).has(mask_at, mask_stride * rows)) return DecodeError::truncated;
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint8_t* mask = file.data() + mask_at + row * mask_stride;
        std::uint8_t* target = row_of(image, layout, row);
        for (std::size_t x = 0; x < static_cast<std::size_t>(layout.width); ++x) {
            target[x * 4 + 3] = (mask[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
        }
    }
    return std::nullopt;
}

}  // namespace

DecodeResult<RgbaImage> read_dib(std::span<const std::uint8_t> file, std::size_t dib_offset, std::size_t pixel_offset, DibUse use) {
    const ByteReader in(file);
    auto layout_result = read_layout(in, dib_offset, use);
    if (!layout_result) return layout_result.error();
    const DibLayout& layout = layout_result.value();
    const std::size_t pixels_at =
        use == DibUse::icon ? layout.palette_at + layout.palette_count * layout.palette_entry_bytes : pixel_offset;
    const bool rle = layout.compression == BI_RLE8 || layout.compression == BI_RLE4;
    const std::size_t pixel_bytes = layout.stride * static_cast<std::size_t>(layout.height);
    // Stored pixels must all be there before anything is allocated.
    if (!rle && !in.has(pixels_at, pixel_bytes)) return DecodeError::truncated;
    if (rle && pixels_at >= file.size()) return DecodeError::truncated;

    auto image = allocate_image(layout.width, layout.height);
    if (!image) return DecodeError::too_large;
    if (rle) {
        if (const auto failure = read_run_length(file.subspan(pixels_at), layout, *image, file)) return *failure;
    } else {
        read_rows(file, pixels_at, layout, use, *image);
    }
    if (use == DibUse::icon) {
        if (const auto failure = apply_and_mask(file, pixels_at + pixel_bytes, layout, *image)) return *failure;
    }
    return std::move(*image);
}

DecodeResult<std::unique_ptr<PictureDecoder>> open_bmp(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, FILE_HEADER_BYTES)) return DecodeError::truncated;
    if (bytes[0] != 'B' || bytes[1] != 'M') return DecodeError::unrecognised;
    auto image = read_dib(bytes, FILE_HEADER_BYTES, *in.u32(10), DibUse::bmp);
    if (!image) return image.error();
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(image.value())));
}

}  // namespace vt
