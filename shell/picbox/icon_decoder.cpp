// Icon and cursor files: a directory of images, each a DIB followed by its
// AND mask, or a whole PNG file. The largest image is shown.
#include <algorithm>
#include <memory>
#include <optional>

#include "shell/picbox/byte_reader.h"
#include "shell/picbox/dib_reader.h"
#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

constexpr std::size_t DIRECTORY_HEADER_BYTES = 6;
constexpr std::size_t DIRECTORY_ENTRY_BYTES = 16;
constexpr std::uint16_t ICON_TYPE = 1;
constexpr std::uint16_t CURSOR_TYPE = 2;
constexpr std::uint8_t PNG_SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the IHDR chunk's length and type, then width and height.
constexpr std::size_t PNG_WIDTH_AT = 16;
constexpr std::size_t PNG_HEIGHT_AT = 20;
constexpr int PNG_BITS = 32;  // a PNG entry counts as full colour with alpha

struct Entry {
    std::span<const std::uint8_t> bytes;
    bool png = false;
    std::int64_t area = 0;
    int bits = 0;
};

std::uint32_t big_endian_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) | (std::uint32_t{bytes[at + 2]} << 8) |
           std::uint32_t{bytes[at + 3]};
}

// An entry's size as its own header gives it: the directory's one-byte
// sizes cannot say more than 256 and need not agree with the image.
std::optional<Entry> describe(std::span<const std::uint8_t> image) {
    Entry entry{image};
    if (image.size() >= sizeof PNG_SIGNATURE && std::equal(std::begin(PNG_SIGNATURE), std::end(PNG_SIGNATURE), image.begin())) {
        if (image.size() < PNG_HEIGHT_AT + 4) return std::nullopt;
        entry.png = true;
        // Held below 2^31 a side so the product cannot overflow; anything
        // that large is refused when decoded anyway.
        const auto side = [&](std::size_t at) { return std::min<std::int64_t>(big_endian_u32(image, at), std::int64_t{1} << 31); };
        entry.area = side(PNG_WIDTH_AT) * side(PNG_HEIGHT_AT);
        entry.bits = PNG_BITS;
        return entry;
    }
    const ByteReader in(image);
    const auto header_bytes = in.u32(0);
    if (!header_bytes) return std::nullopt;
    std::int64_t width = 0, height = 0;
    std::optional<std::uint16_t> bits;
    if (*header_bytes == 12) {
        const auto w = in.u16(4), h = in.u16(6);
        bits = in.u16(10);
        if (!w || !h) return std::nullopt;
        width = *w, height = *h;
    } else {
        const auto w = in.i32(4), h = in.i32(8);
        bits = in.u16(14);
        if (!w || !h) return std::nullopt;
        width = *w, height = *h;
    }
    if (!bits) return std::nullopt;
    entry.area = std::max<std::int64_t>(width, 0) * (std::max<std::int64_t>(height < 0 ? -height : height, 0) / 2);
    entry.bits = *bits;
    return entry;
}

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_icon(std::span<const std::uint8_t> bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, DIRECTORY_HEADER_BYTES)) return DecodeError::truncated;
    const auto type = *in.u16(2);
    const auto count = *in.u16(4);
    if (*in.u16(0) != 0 || (type != ICON_TYPE && type != CURSOR_TYPE) || count == 0) return DecodeError::unrecognised;
    if (!in.has(DIRECTORY_HEADER_BYTES, std::size_t{count} * DIRECTORY_ENTRY_BYTES)) return DecodeError::truncated;

    // The largest image, and of those the deepest; the first of equals.
    // Entries that lie outside the file or cannot be read are passed over.
    std::optional<Entry> best;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = DIRECTORY_HEADER_BYTES + i * DIRECTORY_ENTRY_BYTES;
        const std::uint32_t size = *in.u32(at + 8), offset = *in.u32(at + 12);
        if (!in.has(offset, size)) continue;
        const auto entry = describe(bytes.subspan(offset, size));
        if (entry && (!best || entry->area > best->area || (entry->area == best->area && entry->bits > best->bits))) best = entry;
    }
    if (!best) return DecodeError::malformed;
    if (best->png) return open_png(best->bytes);
    auto image = read_dib(best->bytes, 0, 0, DibUse::icon);
    if (!image) return image.error();
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(image.value())));
}

}  // namespace vt
