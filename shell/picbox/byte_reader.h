// Bounds-checked little-endian reads from untrusted bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vt {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::optional<std::uint8_t> u8(std::size_t offset) const {
        if (!has(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
    }
    std::optional<std::int32_t> i32(std::size_t offset) const {
        const auto value = u32(offset);
        if (!value) return std::nullopt;
        return static_cast<std::int32_t>(*value);
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace vt
