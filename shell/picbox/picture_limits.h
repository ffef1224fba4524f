// Limits on what a picture may ask of memory, checked before any
// allocation: a small hostile file must not exhaust the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vt {

// Wider or taller than this is refused: no real picture of this program's
// frame comes close, and it bounds every row buffer.
inline constexpr std::int64_t MAX_PICTURE_SIDE = 16384;
// More pixels than this is refused (256 MiB as RGBA).
inline constexpr std::int64_t MAX_PICTURE_PIXELS = 64LL * 1000 * 1000;
// All decoded frames of one animation together.
inline constexpr std::int64_t MAX_ANIMATION_BYTES = 256LL * 1024 * 1024;
// libjpeg's working memory (on top of the output rows).
inline constexpr long MAX_JPEG_WORKING_MEMORY = 256L * 1024 * 1024;
// Scans of one progressive JPEG: real files have about ten, and each scan
// costs a pass over the whole picture.
inline constexpr int MAX_JPEG_SCANS = 500;

// Bytes of an RGBA image of width x height, or nothing when the size is not
// allowed (zero, negative, beyond the limits above).
inline std::optional<std::size_t> rgba_bytes_if_allowed(std::int64_t width, std::int64_t height) noexcept {
    if (width <= 0 || height <= 0 || width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE) return std::nullopt;
    const std::int64_t pixels = width * height;  // both at most 2^14: no overflow
    if (pixels > MAX_PICTURE_PIXELS) return std::nullopt;
    return static_cast<std::size_t>(pixels) * 4;
}

}  // namespace vt
