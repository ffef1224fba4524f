// Value types every routine passes: Text (8-bit text without zero bytes),
// Bytes (a byte buffer) and TextArray (texts numbered from 1), with the
// operations that measure, compare, join and convert them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vt {

// 8-bit text in the ANSI code page (GBK for Chinese). Never holds a zero
// byte: building one from bytes stops at the first zero. A missing text and
// an empty one are the same value.
class Text {
public:
    Text() = default;
    Text(const char* zero_terminated);           // nullptr is the empty text
    explicit Text(std::string_view bytes);       // cut at the first zero byte
    explicit Text(std::string&& bytes);          // cut at the first zero byte
    // `count` bytes of `whole` from the 0-based offset `from`, clipped at its
    // end. Needs no search for a zero byte: `whole` holds none.
    Text(const Text& whole, std::size_t from, std::size_t count)
        : bytes_(whole.bytes_, std::min(from, whole.bytes_.size()), count) {}

    std::string_view view() const noexcept { return bytes_; }
    const char* c_str() const noexcept { return bytes_.c_str(); }
    bool empty() const noexcept { return bytes_.empty(); }

    // Appends in place; `more` is cut at its first zero byte.
    void append(std::string_view more);

    friend bool operator==(const Text&, const Text&) = default;

private:
    std::string bytes_;
};

// A byte buffer of 0 to INT32_MAX bytes; zero bytes are allowed.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::span<const std::uint8_t> bytes);
    explicit Bytes(std::string_view bytes);
    explicit Bytes(std::vector<std::uint8_t>&& bytes) noexcept : bytes_(std::move(bytes)) {}

    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    std::uint8_t* data() noexcept { return bytes_.data(); }
    std::span<const std::uint8_t> span() const noexcept { return bytes_; }
    std::string_view chars() const noexcept;
    bool empty() const noexcept { return bytes_.empty(); }

    // Appends in place, amortised constant per byte: a reader collecting a
    // body piece by piece never copies what it already has.
    void append(std::span<const std::uint8_t> more);

    friend bool operator==(const Bytes&, const Bytes&) = default;

private:
    std::vector<std::uint8_t> bytes_;
};

// Texts numbered 1 to size. Only split_text creates one with members and
// only array_append grows one.
class TextArray {
public:
    TextArray() = default;

    // Plain iteration for code that walks every member in order.
    auto begin() const noexcept { return members_.begin(); }
    auto end() const noexcept { return members_.end(); }

private:
    friend std::int32_t array_size(const TextArray& a) noexcept;
    friend const Text& array_get(const TextArray& a, std::int32_t i);
    friend void array_append(TextArray& a, const Text& t);
    friend void array_append(TextArray& a, Text&& t);
    std::vector<Text> members_;
};

// Helpers for the variadic concat_text: texts, literals and views.
inline std::string_view parts_view(const Text& t) noexcept { return t.view(); }
inline std::string_view parts_view(std::string_view s) noexcept { return s; }
inline std::string_view parts_view(const char* s) noexcept { return s ? std::string_view(s) : std::string_view(); }

// Texts.
std::int32_t text_length(const Text& t) noexcept;
std::int32_t compare_text(const Text& a, const Text& b) noexcept;
Text concat_text(std::initializer_list<std::string_view> parts);
template <class... Parts>
Text concat_text(const Parts&... parts) {
    return concat_text({std::string_view(parts_view(parts))...});
}
Bytes text_to_bytes(const Text& t);
Text bytes_to_text(const Bytes& b);

// Byte buffers.
std::int32_t bytes_length(const Bytes& b) noexcept;
Bytes bytes_left(const Bytes& b, std::int32_t n);
Bytes blank_bytes(std::int32_t n);
Bytes concat_bytes(std::initializer_list<std::span<const std::uint8_t>> parts);
template <class... Parts>
Bytes concat_bytes(const Parts&... parts) {
    return concat_bytes({parts.span()...});
}
// Growing an existing buffer: the first part is extended in place.
Bytes concat_bytes(Bytes&& first, const Bytes& more);
bool bytes_equal(const Bytes& a, const Bytes& b) noexcept;

// Arrays. array_get outside 1..size ends the process (code 4 below 1,
// code 1 above the size; below 1 is tested first).
std::int32_t array_size(const TextArray& a) noexcept;
const Text& array_get(const TextArray& a, std::int32_t i);
void array_append(TextArray& a, const Text& t);
void array_append(TextArray& a, Text&& t);


}  // namespace vt
