// JPEG with libjpeg-turbo. A picture that will be drawn smaller is decoded
// directly at 1/2, 1/4 or 1/8 of its size (DCT scaling), the smallest that
// still covers the drawn size; the natural size always comes from the header.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <memory>

#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

struct ErrorManager {
    jpeg_error_mgr public_part;
    std::jmp_buf jump;
};

[[noreturn]] void on_error(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void on_message(j_common_ptr, int) {}

struct Header {
    int width = 0;
    int height = 0;
};

// Reads the header only; false when it is not a readable JPEG.
bool read_header(std::span<const std::uint8_t> bytes, Header& header) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.public_part);
    errors.public_part.error_exit = on_error;
    errors.public_part.emit_message = on_message;
    volatile bool ok = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        header = {static_cast<int>(info.image_width), static_cast<int>(info.image_height)};
        ok = true;
    }
    jpeg_destroy_decompress(&info);
    return ok;
}

// The largest divisor (8, 4, 2, 1) whose scaled size still covers `at_least`.
int scale_denominator(Header natural, PictureSize at_least) {
    for (const int denominator : {8, 4, 2}) {
        const int scaled_width = (natural.width + denominator - 1) / denominator;
        const int scaled_height = (natural.height + denominator - 1) / denominator;
        if (scaled_width >= at_least.width && scaled_height >= at_least.height) return denominator;
    }
    return 1;
}

std::uint8_t multiply_255(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// Plain storage for the decode, so a longjmp skips no destructor.
struct DecodeTarget {
    std::uint8_t* pixels = nullptr;  // RGBA, width * height * 4
    int width = 0;
    int height = 0;
};

bool decode(std::span<const std::uint8_t> bytes, int denominator, RgbaImage& out, DecodeError& error) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.public_part);
    errors.public_part.error_exit = on_error;
    errors.public_part.emit_message = on_message;
    std::uint8_t* volatile row = nullptr;
    volatile bool ok = false;
    error = DecodeError::malformed;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        info.mem->max_memory_to_use = MAX_JPEG_WORKING_MEMORY;
        jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        if (!rgba_bytes_if_allowed(info.image_width, info.image_height)) {
            error = DecodeError::too_large;
        } else {
            const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
            info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
            info.scale_num = 1;
            info.scale_denom = static_cast<unsigned>(denominator);
            jpeg_start_decompress(&info);
            // Adobe writes CMYK inverted.
            const bool inverted = cmyk && info.saw_Adobe_marker;
            out.width = static_cast<int>(info.output_width);
            out.height = static_cast<int>(info.output_height);
            out.pixels.assign(std::size_t{info.output_width} * info.output_height * 4, 0);
            row = static_cast<std::uint8_t*>(std::malloc(std::size_t{info.output_width} * 4));
            error = DecodeError::truncated;
            while (info.output_scanline < info.output_height) {
                std::uint8_t* target = out.pixels.data() + std::size_t{info.output_scanline} * info.output_width * 4;
                JSAMPROW rows[1] = {cmyk ? row : target};
                jpeg_read_scanlines(&info, rows, 1);
                if (!cmyk) continue;
                for (std::size_t x = 0; x < info.output_width; ++x) {
                    unsigned c = row[x * 4], m = row[x * 4 + 1], y = row[x * 4 + 2], k = row[x * 4 + 3];
                    if (!inverted) {
                        c = 255 - c;
                        m = 255 - m;
                        y = 255 - y;
                        k = 255 - k;
                    }
                    target[x * 4] = multiply_255(c, k);
                    target[x * 4 + 1] = multiply_255(m, k);
                    target[x * 4 + 2] = multiply_255(y, k);
                    target[x * 4 + 3] = 255;
                }
            }
            jpeg_finish_decompress(&info);
            ok = true;
        }
    }
    std::free(row);
    jpeg_destroy_decompress(&info);
    return ok;
}

class JpegPicture final : public PictureDecoder {
public:
    JpegPicture(std::span<const std::uint8_t> bytes, Header header) : bytes_(bytes), header_(header) {}
    PictureSize size() const override { return {header_.width, header_.height}; }
    int frame_count() const override { return 1; }
    DecodeResult<PictureFrame> frame(int index, PictureSize at_least) override {
        if (index != 0 || failed_) return DecodeError::malformed;
        RgbaImage image;
        DecodeError error = DecodeError::malformed;
        if (!decode(bytes_, scale_denominator(header_, at_least), image, error)) {
            failed_ = true;  // a decoder that failed stays failed
            return error;
        }
        return PictureFrame{std::move(image), 0};
    }

private:
    std::span<const std::uint8_t> bytes_;
    Header header_;
    bool failed_ = false;
};

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_jpeg(std::span<const std::uint8_t> bytes) {
    Header header;
    if (!read_header(bytes, header)) return DecodeError::malformed;
    if (!rgba_bytes_if_allowed(header.width, header.height)) return DecodeError::too_large;
    return std::unique_ptr<PictureDecoder>(std::make_unique<JpegPicture>(bytes, header));
}

}  // namespace vt
