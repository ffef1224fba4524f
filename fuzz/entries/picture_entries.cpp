// Pictures from raw bytes: the picture box's whole path (recognition, every
// decoder, every frame, fitting and drawing), and the decoders we wrote
// ourselves one by one, each given the bytes whatever they begin with.
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_input.h"
#include "shell/picbox/pic_box.h"
#include "shell/picbox/picture_decoder.h"
#include "shell/picbox/picture_limits.h"

namespace vt::fuzz {

namespace {

// Small, and not square, so fitting shrinks nearly every picture and works
// out both sides.
constexpr int BOX_WIDTH = 40;
constexpr int BOX_HEIGHT = 31;
constexpr PictureSize DRAWN_AT{16, 12};

void require_whole_image(const RgbaImage& image) {
    const auto bytes = rgba_bytes_if_allowed(image.width, image.height);
    require(bytes.has_value(), "a decoded frame has a size within the limits");
    require(image.pixels.size() == *bytes, "a decoded frame holds four bytes for each of its pixels");
}

void decode_every_frame(DecodeResult<std::unique_ptr<PictureDecoder>> opened) {
    if (!opened) return;
    PictureDecoder& decoder = *opened.value();
    for (int i = 0; i < decoder.frame_count(); ++i) {
        const auto frame = decoder.frame(i, DRAWN_AT);
        if (!frame) return;
        require_whole_image(frame.value().image);
    }
}

}  // namespace

void fuzz_picture_box(std::span<const std::uint8_t> bytes) {
    PicBox box(BOX_WIDTH, BOX_HEIGHT, DisplayMode::fit, BUTTON_FACE, true);
    box.set_picture(Bytes(bytes));
    const RgbaImage drawn = box.render();
    require(drawn.width == BOX_WIDTH && drawn.height == BOX_HEIGHT &&
                drawn.pixels.size() == std::size_t{BOX_WIDTH} * BOX_HEIGHT * 4,
            "the box draws its own size");
}

void fuzz_bmp(std::span<const std::uint8_t> bytes) { decode_every_frame(open_bmp(bytes)); }
void fuzz_icon(std::span<const std::uint8_t> bytes) { decode_every_frame(open_icon(bytes)); }
void fuzz_pcx(std::span<const std::uint8_t> bytes) { decode_every_frame(open_pcx(bytes)); }

}  // namespace vt::fuzz
