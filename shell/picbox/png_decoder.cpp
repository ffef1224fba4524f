// PNG with libpng: every colour type and bit depth, palettes with
// transparency, interlacing and 16 bits come out as RGBA8, values as stored
// (no gamma conversion).
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <optional>

#include "shell/picbox/decoded_on_request.h"
#include "shell/picbox/picture_limits.h"

namespace vt {

namespace {

// The largest ancillary chunk libpng may buffer; pixels stream past it.
constexpr png_alloc_size_t MAX_PNG_CHUNK_BYTES = png_alloc_size_t{8} * 1024 * 1024;
// Deflate packs at most 258 bytes into one 2-bit match, 1032 to 1: a file
// with fewer bytes left than its rows need at that rate is cut short for
// sure, and is refused before its pixels are allocated.
constexpr std::uint64_t MAX_DEFLATE_RATIO = 1032;
constexpr std::uint64_t DEFLATE_SLACK_BYTES = 1024;

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->bytes.size() - reader->offset < length) png_error(png, "truncated");
    if (length == 0) return;
    std::memcpy(out, reader->bytes.data() + reader->offset, length);
    reader->offset += length;
}

// Failures come back as a result; nothing is printed.
[[noreturn]] void on_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_warning(png_structp, png_const_charp) {}

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Reads the header and, when `pixels` is given, the whole image into it;
// nothing on success, else why it failed.
// libpng leaves by longjmp on any error, so while it runs this frame holds
// only plain values: nothing whose destructor a jump would skip.
std::optional<DecodeError> read_png(std::span<const std::uint8_t> bytes, PictureSize /*at_least*/, PictureSize& size,
                                    RgbaImage* pixels) {
    ReadStructs structs;
    structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!structs.png) return DecodeError::malformed;
    structs.info = png_create_info_struct(structs.png);
    if (!structs.info) return DecodeError::malformed;
    MemoryReader reader{bytes, 0};
    png_structp png = structs.png;
    png_infop info = structs.info;
    // Written after setjmp and read after a longjmp: volatile.
    volatile DecodeError failure = DecodeError::malformed;
    if (setjmp(png_jmpbuf(png))) return failure;

    png_set_read_fn(png, &reader, read_from_memory);
    png_set_user_limits(png, static_cast<png_uint_32>(MAX_PICTURE_SIDE), static_cast<png_uint_32>(MAX_PICTURE_SIDE));
    png_set_chunk_malloc_max(png, MAX_PNG_CHUNK_BYTES);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!rgba_bytes_if_allowed(width, height)) return DecodeError::too_large;
    const std::uint64_t filtered_bytes = std::uint64_t{height} * (png_get_rowbytes(png, info) + 1);
    const std::uint64_t bytes_left = bytes.size() - reader.offset;
    if (bytes_left * MAX_DEFLATE_RATIO + DEFLATE_SLACK_BYTES < filtered_bytes) return DecodeError::truncated;
    size = {static_cast<int>(width), static_cast<int>(height)};
    if (!pixels) return std::nullopt;

    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * 4) return DecodeError::unsupported;
    pixels->width = size.width;
    pixels->height = size.height;
    pixels->pixels.assign(std::size_t{width} * height * 4, 0);
    std::uint8_t* const first_row = pixels->pixels.data();
    failure = DecodeError::truncated;
    // Each pass of an interlaced picture visits every row again and fills
    // in its own pixels.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, first_row + std::size_t{y} * width * 4, nullptr);
    }
    return std::nullopt;
}

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_png(std::span<const std::uint8_t> bytes) {
    return DecodedOnRequest::open(bytes, read_png);
}

}  // namespace vt
