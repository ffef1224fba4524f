// The data the program carries with it, stored with its read-only data.
#pragma once

#include <cstdint>
#include <span>

namespace vt {

// 423 picture addresses, one per line, lines separated by CR LF.
extern const std::span<const std::uint8_t> PICTURE_LIST;
// The window's skin: a 266 x 255 opaque RGBA PNG.
extern const std::span<const std::uint8_t> SKIN_PICTURE;
// The window's icon: a 48 x 48 PNG with alpha.
extern const std::span<const std::uint8_t> WINDOW_ICON;

}  // namespace vt
