// JPEG with libjpeg-turbo. A picture that will be drawn smaller is decoded
// directly at 1/2, 1/4 or 1/8 of its size (DCT scaling), the smallest that
// still covers the drawn size; the natural size always comes from the header.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>

#include <jpeglib.h>

#include "shell/picbox/decoded_on_request.h"
#include "shell/picbox/picture_limits.h"

namespace vt {

namespace {

// libjpeg leaves by longjmp on any error, and a progressive file gives its
// scan count in passing; both come back here.
struct ErrorManager {
    jpeg_error_mgr public_part{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
};

[[noreturn]] void on_error(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void on_message(j_common_ptr, int) {}

// Each scan of a progressive file costs a pass over all coefficients; a
// file of thousands of tiny scans would keep the decoder busy for minutes.
void on_progress(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MAX_JPEG_SCANS) on_error(info);
}

struct DecompressStruct {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    DecompressStruct() {
        info.err = jpeg_std_error(&errors.public_part);
        errors.public_part.error_exit = on_error;
        errors.public_part.emit_message = on_message;
        errors.progress.progress_monitor = on_progress;
    }
    ~DecompressStruct() { jpeg_destroy_decompress(&info); }
    DecompressStruct(const DecompressStruct&) = delete;
    DecompressStruct& operator=(const DecompressStruct&) = delete;
};

std::uint8_t multiply_255(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// CMYK to RGB in place (both four bytes a pixel). Adobe writes CMYK
// inverted (0 is full ink); plain CMYK is inverted here to match.
void cmyk_to_rgba(std::uint8_t* row, std::size_t width, bool adobe_inverted) {
    for (std::size_t x = 0; x < width; ++x, row += 4) {
        unsigned c = row[0], m = row[1], y = row[2], k = row[3];
        if (!adobe_inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        row[0] = multiply_255(c, k);
        row[1] = multiply_255(m, k);
        row[2] = multiply_255(y, k);
        row[3] = 255;
    }
}

// The largest divisor (8, 4, 2, 1) whose scaled size, rounded up as libjpeg
// rounds it, still covers `at_least`.
int scale_denominator(PictureSize natural, PictureSize at_least) {
    for (const int denominator : {8, 4, 2}) {
        const int scaled_width = (natural.width + denominator - 1) / denominator;
        const int scaled_height = (natural.height + denominator - 1) / denominator;
        if (scaled_width >= at_least.width && scaled_height >= at_least.height) return denominator;
    }
    return 1;
}

// Reads the header and, when `pixels` is given, the picture scaled down as
// far as it still covers `at_least`; nothing on success, else why it failed.
// While libjpeg runs this frame holds only plain values, so a longjmp skips
// no destructor.
std::optional<DecodeError> read_jpeg(std::span<const std::uint8_t> bytes, PictureSize at_least, PictureSize& size,
                                     RgbaImage* pixels) {
    DecompressStruct decompress;
    jpeg_decompress_struct& info = decompress.info;
    // Written after setjmp and read after a longjmp: volatile.
    volatile DecodeError failure = DecodeError::malformed;
    if (setjmp(decompress.errors.jump)) return failure;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MAX_JPEG_WORKING_MEMORY;
    info.progress = &decompress.errors.progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!rgba_bytes_if_allowed(info.image_width, info.image_height)) return DecodeError::too_large;
    size = {static_cast<int>(info.image_width), static_cast<int>(info.image_height)};
    if (!pixels) return std::nullopt;

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;  // greyscale too
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(scale_denominator(size, at_least));
    jpeg_start_decompress(&info);
    const bool adobe_inverted = cmyk && info.saw_Adobe_marker;
    const std::size_t width = info.output_width;
    pixels->width = static_cast<int>(info.output_width);
    pixels->height = static_cast<int>(info.output_height);
    pixels->pixels.resize(width * info.output_height * 4);
    std::uint8_t* const first_row = pixels->pixels.data();
    failure = DecodeError::truncated;
    while (info.output_scanline < info.output_height) {
        std::uint8_t* row = first_row + std::size_t{info.output_scanline} * width * 4;
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk) cmyk_to_rgba(row, width, adobe_inverted);
    }
    jpeg_finish_decompress(&info);
    return std::nullopt;
}

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_jpeg(std::span<const std::uint8_t> bytes) {
    return DecodedOnRequest::open(bytes, read_jpeg);
}

}  // namespace vt
