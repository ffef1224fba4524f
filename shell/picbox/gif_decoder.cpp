// GIF with giflib, read record by record so no frame is allocated before
// its size is checked. Frames are composed onto the logical screen with
// their offsets, transparency, local palettes and disposal methods.
#include <gif_lib.h>

#include <cstring>
#include <memory>

#include "shell/picbox/still_picture.h"

namespace vt {

namespace {

// A frame delay of 0 is shown this long.
constexpr int DEFAULT_FRAME_DELAY_MS = 50;
constexpr int GIF_DELAY_UNIT_MS = 10;

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
};

int read_from_memory(GifFileType* gif, GifByteType* out, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), reader->bytes.size() - reader->offset);
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

struct Control {
    int disposal = 0;
    int delay = 0;
    int transparent = -1;
};

class GifPicture final : public PictureDecoder {
public:
    GifPicture(PictureSize size, std::vector<PictureFrame> frames) : size_(size), frames_(std::move(frames)) {}
    PictureSize size() const override { return size_; }
    int frame_count() const override { return static_cast<int>(frames_.size()); }
    DecodeResult<PictureFrame> frame(int index, PictureSize) override {
        if (index < 0 || index >= frame_count()) return DecodeError::malformed;
        return frames_[static_cast<std::size_t>(index)];
    }

private:
    PictureSize size_;
    std::vector<PictureFrame> frames_;
};

// Draws one frame's indices onto the canvas, clipped to it.
void draw_frame(RgbaImage& canvas, const GifImageDesc& desc, const ColorMapObject& map,
                const std::vector<GifByteType>& raster, int transparent) {
    for (int y = 0; y < desc.Height; ++y) {
        const long cy = long{desc.Top} + y;
        if (cy < 0 || cy >= canvas.height) continue;
        for (int x = 0; x < desc.Width; ++x) {
            const long cx = long{desc.Left} + x;
            if (cx < 0 || cx >= canvas.width) continue;
            const int index = raster[static_cast<std::size_t>(y) * static_cast<std::size_t>(desc.Width) + static_cast<std::size_t>(x)];
            if (index == transparent) continue;
            std::uint8_t* pixel = canvas.pixels.data() + (static_cast<std::size_t>(cy) * static_cast<std::size_t>(canvas.width) + static_cast<std::size_t>(cx)) * 4;
            if (index < map.ColorCount) {
                pixel[0] = map.Colors[index].Red;
                pixel[1] = map.Colors[index].Green;
                pixel[2] = map.Colors[index].Blue;
            } else {
                pixel[0] = pixel[1] = pixel[2] = 0;
            }
            pixel[3] = 255;
        }
    }
}

void clear_rectangle(RgbaImage& canvas, const GifImageDesc& desc) {
    for (long y = std::max(0L, long{desc.Top}); y < std::min<long>(canvas.height, long{desc.Top} + desc.Height); ++y) {
        for (long x = std::max(0L, long{desc.Left}); x < std::min<long>(canvas.width, long{desc.Left} + desc.Width); ++x) {
            std::memset(canvas.pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) + static_cast<std::size_t>(x)) * 4, 0, 4);
        }
    }
}

// Reads one frame's pixel indices in display order.
bool read_raster(GifFileType* gif, std::vector<GifByteType>& raster) {
    const GifImageDesc& desc = gif->Image;
    const std::size_t width = static_cast<std::size_t>(desc.Width);
    if (desc.Interlace) {
        constexpr int starts[] = {0, 4, 2, 1};
        constexpr int steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = starts[pass]; y < desc.Height; y += steps[pass]) {
                if (DGifGetLine(gif, raster.data() + static_cast<std::size_t>(y) * width, desc.Width) == GIF_ERROR) return false;
            }
        }
        return true;
    }
    for (int y = 0; y < desc.Height; ++y) {
        if (DGifGetLine(gif, raster.data() + static_cast<std::size_t>(y) * width, desc.Width) == GIF_ERROR) return false;
    }
    return true;
}

}  // namespace

DecodeResult<std::unique_ptr<PictureDecoder>> open_gif(std::span<const std::uint8_t> bytes) {
    MemoryReader reader{bytes, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, read_from_memory, &error));
    if (!gif) return DecodeError::malformed;
    auto canvas = allocate_image(gif->SWidth, gif->SHeight);
    if (!canvas) return DecodeError::too_large;
    const std::size_t canvas_bytes = canvas->pixels.size();

    std::vector<PictureFrame> frames;
    Control control;
    std::vector<GifByteType> raster;
    bool broken = false;
    for (bool done = false; !done && !broken;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) break;
        switch (record) {
            case EXTENSION_RECORD_TYPE: {
                int code = 0;
                GifByteType* extension = nullptr;
                if (DGifGetExtension(gif.get(), &code, &extension) == GIF_ERROR) {
                    broken = true;
                    break;
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && extension && extension[0] >= 4) {
                    control.disposal = (extension[1] >> 2) & 7;
                    control.delay = extension[2] | (extension[3] << 8);
                    control.transparent = (extension[1] & 1) ? extension[4] : -1;
                }
                while (extension) {
                    if (DGifGetExtensionNext(gif.get(), &extension) == GIF_ERROR) {
                        broken = true;
                        break;
                    }
                }
                break;
            }
            case IMAGE_DESC_RECORD_TYPE: {
                if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                    broken = true;
                    break;
                }
                const GifImageDesc desc = gif->Image;
                const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
                const auto raster_bytes = rgba_bytes_if_allowed(desc.Width, desc.Height);
                // Every composed frame is kept: the whole animation must fit.
                const bool fits = (frames.size() + 1) <= static_cast<std::size_t>(MAX_ANIMATION_BYTES) / canvas_bytes;
                if (!raster_bytes || !fits) return DecodeError::too_large;
                raster.assign(*raster_bytes / 4, 0);
                if (!read_raster(gif.get(), raster)) {
                    broken = true;
                    break;
                }
                const RgbaImage before = control.disposal == 3 ? *canvas : RgbaImage{};
                if (map) draw_frame(*canvas, desc, *map, raster, control.transparent);
                const int delay = control.delay == 0 ? DEFAULT_FRAME_DELAY_MS : control.delay * GIF_DELAY_UNIT_MS;
                frames.push_back({*canvas, delay});
                if (control.disposal == 2) clear_rectangle(*canvas, desc);
                if (control.disposal == 3) *canvas = before;
                control = Control{};
                break;
            }
            case TERMINATE_RECORD_TYPE: done = true; break;
            default: break;
        }
    }
    // A file cut short keeps the frames that arrived whole.
    if (frames.empty()) return DecodeError::truncated;
    if (frames.size() == 1) frames.front().delay_ms = 0;
    return std::unique_ptr<PictureDecoder>(std::make_unique<GifPicture>(PictureSize{gif->SWidth, gif->SHeight}, std::move(frames)));
}

}  // namespace vt
