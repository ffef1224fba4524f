// GIF with giflib. Opening walks the whole file once without decoding any
// pixels, to count the frames and refuse an animation too big to keep;
// frames are then composed one after another on request, onto the logical
// screen, with their offsets, transparency, local palettes and disposal.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

// A frame delay of 0 is shown this long.
constexpr int DEFAULT_FRAME_DELAY_MS = 50;
constexpr int GIF_DELAY_UNIT_MS = 10;

enum Disposal { keep_unspecified = 0, keep = 1, clear_to_background = 2, restore_previous = 3 };

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
};

int read_from_memory(GifFileType* gif, GifByteType* out, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), reader->bytes.size() - reader->offset);
    if (count == 0) return 0;  // no memcpy from an empty span's null data
    std::memcpy(out, reader->bytes.data() + reader->offset, count);
    reader->offset += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The reader lives beside the handle that reads through it.
struct OpenGif {
    std::unique_ptr<MemoryReader> reader;
    GifHandle gif;
};

OpenGif open_gif_file(std::span<const std::uint8_t> bytes) {
    OpenGif open{std::make_unique<MemoryReader>(MemoryReader{bytes, 0}), nullptr};
    int error = 0;
    open.gif.reset(DGifOpen(open.reader.get(), read_from_memory, &error));
    return open;
}

// The graphic control extension in force for the next image.
struct Control {
    int disposal = keep_unspecified;
    int delay = 0;
    int transparent = -1;
};

// Reads an extension record whole; a graphic control updates `control`.
bool read_extension(GifFileType* gif, Control& control) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        control.disposal = (block[1] >> 2) & 7;
        control.delay = block[2] | (block[3] << 8);
        control.transparent = (block[1] & 1) ? block[4] : -1;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Steps over an image's compressed data without decoding it.
bool skip_image_data(GifFileType* gif) {
    int code_size = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &code_size, &block) == GIF_ERROR) return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

struct Rect {
    long left = 0, top = 0, width = 0, height = 0;
};

class GifPicture final : public PictureDecoder {
public:
    GifPicture(std::span<const std::uint8_t> bytes, PictureSize size, int frames)
        : bytes_(bytes), size_(size), frames_(frames) {}

    PictureSize size() const override { return size_; }
    int frame_count() const override { return frames_; }

    DecodeResult<PictureFrame> frame(int index, PictureSize) override {
        if (failed_ || index < 0 || index >= frames_) return DecodeError::malformed;
        if (index < next_ || !file_.gif) rewind();
        int delay = 0;
        while (next_ <= index) {
            if (!compose_next(delay)) {
                failed_ = true;  // a decoder that failed stays failed
                file_ = {};
                return DecodeError::malformed;
            }
        }
        const int shown_ms = frames_ > 1 ? delay : 0;
        if (index + 1 < frames_) return PictureFrame{canvas_, shown_ms};
        // Nothing follows the last frame: its canvas is handed over rather
        // than copied, and a later request starts again from the top.
        file_ = {};
        return PictureFrame{std::move(canvas_), shown_ms};
    }

private:
    void rewind() {
        file_ = open_gif_file(bytes_);
        canvas_ = *allocate_image(size_.width, size_.height);  // checked at open
        next_ = 0;
        last_ = {};
        last_disposal_ = keep_unspecified;
    }

    // Undoes the previous frame as its disposal says, then reads records up
    // to the next image and draws it.
    bool compose_next(int& delay_ms) {
        if (!file_.gif) return false;
        if (last_disposal_ == clear_to_background) clear(last_);
        if (last_disposal_ == restore_previous) canvas_ = saved_;
        Control control;
        for (;;) {
            GifRecordType record = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(file_.gif.get(), &record) == GIF_ERROR) return false;
            if (record == EXTENSION_RECORD_TYPE) {
                if (!read_extension(file_.gif.get(), control)) return false;
            } else if (record == IMAGE_DESC_RECORD_TYPE) {
                break;
            } else {
                return false;  // the count at open promised another image
            }
        }
        if (DGifGetImageDesc(file_.gif.get()) == GIF_ERROR) return false;
        if (control.disposal == restore_previous) saved_ = canvas_;
        if (!draw_image(control.transparent)) return false;
        last_disposal_ = control.disposal;
        delay_ms = control.delay == 0 ? DEFAULT_FRAME_DELAY_MS : control.delay * GIF_DELAY_UNIT_MS;
        ++next_;
        return true;
    }

    // Decodes the current image line by line onto the canvas, clipped to
    // it, leaving transparent pixels as they were.
    bool draw_image(int transparent) {
        GifFileType* gif = file_.gif.get();
        const GifImageDesc& desc = gif->Image;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        last_ = {desc.Left, desc.Top, desc.Width, desc.Height};
        line_.resize(static_cast<std::size_t>(desc.Width));
        constexpr int interlaced_starts[] = {0, 4, 2, 1};
        constexpr int interlaced_steps[] = {8, 8, 4, 2};
        const int passes = desc.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int start = desc.Interlace ? interlaced_starts[pass] : 0;
            const int step = desc.Interlace ? interlaced_steps[pass] : 1;
            for (int y = start; y < desc.Height; y += step) {
                if (DGifGetLine(gif, line_.data(), desc.Width) == GIF_ERROR) return false;
                if (map) draw_line(*map, y, transparent);
            }
        }
        return true;
    }

    void draw_line(const ColorMapObject& map, int y, int transparent) {
        const long canvas_y = last_.top + y;
        if (canvas_y < 0 || canvas_y >= canvas_.height) return;
        const long from = std::max(0L, -last_.left);
        const long to = std::min(last_.width, long{canvas_.width} - last_.left);
        std::uint8_t* row = canvas_.pixels.data() + static_cast<std::size_t>(canvas_y) * static_cast<std::size_t>(canvas_.width) * 4;
        for (long x = from; x < to; ++x) {
            const int index = line_[static_cast<std::size_t>(x)];
            if (index == transparent) continue;
            std::uint8_t* pixel = row + static_cast<std::size_t>(last_.left + x) * 4;
            // An index beyond the palette is drawn black.
            const GifColorType colour = index < map.ColorCount ? map.Colors[index] : GifColorType{0, 0, 0};
            pixel[0] = colour.Red;
            pixel[1] = colour.Green;
            pixel[2] = colour.Blue;
            pixel[3] = 255;
        }
    }

    // Back to transparent: the box's background shows, as browsers do
    // rather than painting the file's background colour.
    void clear(const Rect& rect) {
        const long x0 = std::max(0L, rect.left), x1 = std::min<long>(canvas_.width, rect.left + rect.width);
        const long y0 = std::max(0L, rect.top), y1 = std::min<long>(canvas_.height, rect.top + rect.height);
        for (long y = y0; y < y1 && x0 < x1; ++y) {
            std::memset(canvas_.pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas_.width) + static_cast<std::size_t>(x0)) * 4, 0,
                        static_cast<std::size_t>(x1 - x0) * 4);
        }
    }

    std::span<const std::uint8_t> bytes_;
    PictureSize size_;
    int frames_ = 0;
    bool failed_ = false;

    OpenGif file_;
    RgbaImage canvas_;
    RgbaImage saved_;  // the canvas before a frame that restores it
    std::vector<GifPixelType> line_;
    Rect last_;
    int last_disposal_ = keep_unspecified;
    int next_ = 0;  // the frame compose_next draws
};

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_gif(std::span<const std::uint8_t> bytes) {
    OpenGif file = open_gif_file(bytes);
    if (!file.gif) return DecodeError::malformed;
    GifFileType* gif = file.gif.get();
    const auto canvas_bytes = rgba_bytes_if_allowed(gif->SWidth, gif->SHeight);
    if (!canvas_bytes) return DecodeError::too_large;

    // Every frame is kept composed at screen size, and decoding one costs
    // its own area when that is larger: the whole animation must fit.
    std::int64_t budget = MAX_ANIMATION_BYTES;
    int frames = 0;
    Control ignored;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) break;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!read_extension(gif, ignored)) break;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) break;
            const auto image_bytes = rgba_bytes_if_allowed(gif->Image.Width, gif->Image.Height);
            if (!image_bytes) return DecodeError::too_large;
            budget -= static_cast<std::int64_t>(std::max(*image_bytes, *canvas_bytes));
            if (budget < 0) return DecodeError::too_large;
            if (!skip_image_data(gif)) break;
            ++frames;
        } else {
            break;  // the trailer, or anything that cannot follow
        }
    }
    // A file cut short shows the frames that arrived whole.
    if (frames == 0) return DecodeError::truncated;
    const PictureSize size{gif->SWidth, gif->SHeight};
    return std::unique_ptr<PictureDecoder>(std::make_unique<GifPicture>(bytes, size, frames));
}

}  // namespace vt
