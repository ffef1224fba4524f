// PNG with libpng: every colour type and bit depth, palettes with
// transparency, interlacing and 16 bits come out as RGBA8, values as stored
// (no gamma conversion).
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>

#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->bytes.size() - reader->offset < length) png_error(png, "truncated");
    std::memcpy(out, reader->bytes.data() + reader->offset, length);
    reader->offset += length;
}

void ignore_warning(png_structp, png_const_charp) {}

// Everything libpng touches lives in plain C storage here, so a longjmp out
// of libpng skips no destructor.
bool decode_into(std::span<const std::uint8_t> bytes, RgbaImage& out, DecodeError& error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignore_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{bytes, 0};
    // Changed after setjmp and read after a longjmp: volatile.
    std::vector<png_bytep>* volatile rows = nullptr;
    volatile bool ok = false;
    error = DecodeError::malformed;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, read_from_memory);
        png_set_user_limits(png, static_cast<png_uint_32>(MAX_PICTURE_SIDE), static_cast<png_uint_32>(MAX_PICTURE_SIDE));
        png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
        png_read_info(png, info);
        const png_uint_32 width = png_get_image_width(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        auto image = allocate_image(width, height);
        if (!image) {
            error = DecodeError::too_large;
        } else {
            out = std::move(*image);
            png_set_expand(png);
            png_set_strip_16(png);
            png_set_gray_to_rgb(png);
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            rows = new std::vector<png_bytep>(height);
            for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = out.pixels.data() + std::size_t{y} * width * 4;
            error = DecodeError::truncated;
            png_read_image(png, rows->data());
            ok = true;
        }
    }
    delete rows;
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_png(std::span<const std::uint8_t> bytes) {
    RgbaImage image;
    DecodeError error = DecodeError::malformed;
    if (!decode_into(bytes, image, error)) return error;
    return std::unique_ptr<PictureDecoder>(std::make_unique<StillPicture>(std::move(image)));
}

}  // namespace vt
