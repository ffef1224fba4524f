// The device-independent bitmap inside BMP files and icon/cursor entries.
#pragma once

#include "shell/picbox/picture_decoder.h"

namespace vt {

enum class DibUse {
    bmp,   // pixels where the file header says; drawn opaque
    icon,  // height doubled, pixels after the palette, then the AND mask
};

// `dib` starts at the DIB header; `pixel_offset` (BMP only) is counted from
// the start of `file`.
DecodeResult<RgbaImage> read_dib(std::span<const std::uint8_t> file, std::size_t dib_offset, std::size_t pixel_offset, DibUse use);

}  // namespace vt
