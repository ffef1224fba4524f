#include "core/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "core/fatal_error.h"

namespace vt {

namespace {

std::string_view before_first_zero(std::string_view bytes) noexcept {
    return bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
}

// Lengths are int32 throughout; nothing the program builds comes close.
std::int32_t length_of(std::size_t size) noexcept {
    return static_cast<std::int32_t>(std::min<std::size_t>(size, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Text::Text(const char* zero_terminated) : bytes_(zero_terminated ? zero_terminated : "") {}

Text::Text(std::string_view bytes) : bytes_(before_first_zero(bytes)) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
    bytes_.resize(before_first_zero(bytes_).size());
}

void Text::append(std::string_view more) { bytes_.append(before_first_zero(more)); }

Bytes::Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

Bytes::Bytes(std::string_view bytes)
    : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data()),
             reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size()) {}

std::string_view Bytes::chars() const noexcept {
    return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
}

void Bytes::append(std::span<const std::uint8_t> more) {
    // `more` may lie in this very buffer, which growing would move away.
    const std::less<const std::uint8_t*> below;
    if (!more.empty() && !below(more.data(), bytes_.data()) && below(more.data(), bytes_.data() + bytes_.size())) {
        const std::vector<std::uint8_t> copy(more.begin(), more.end());
        bytes_.insert(bytes_.end(), copy.begin(), copy.end());
        return;
    }
    bytes_.insert(bytes_.end(), more.begin(), more.end());
}

std::int32_t text_length(const Text& t) noexcept { return length_of(t.view().size()); }

std::int32_t compare_text(const Text& a, const Text& b) noexcept {
    // string_view compares as unsigned bytes (char_traits<char>::compare
    // is memcmp), a prefix being the smaller.
    const int order = a.view().compare(b.view());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

Text concat_text(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (const auto part : parts) total += part.size();
    std::string joined;
    joined.reserve(total);
    for (const auto part : parts) joined.append(part);
    return Text(std::move(joined));
}

Bytes text_to_bytes(const Text& t) { return Bytes(t.view()); }

Text bytes_to_text(const Bytes& b) { return Text(b.chars()); }

std::int32_t bytes_length(const Bytes& b) noexcept { return length_of(b.span().size()); }

Bytes bytes_left(const Bytes& b, std::int32_t n) {
    if (n <= 0) return {};
    return Bytes(b.span().first(std::min<std::size_t>(static_cast<std::size_t>(n), b.span().size())));
}

Bytes blank_bytes(std::int32_t n) {
    if (n <= 0) return {};
    return Bytes(std::vector<std::uint8_t>(static_cast<std::size_t>(n), 0));
}

Bytes concat_bytes(std::initializer_list<std::span<const std::uint8_t>> parts) {
    std::size_t total = 0;
    for (const auto part : parts) total += part.size();
    std::vector<std::uint8_t> joined;
    joined.reserve(total);
    for (const auto part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return Bytes(std::move(joined));
}

Bytes concat_bytes(Bytes&& first, const Bytes& more) {
    first.append(more.span());
    return std::move(first);
}

bool bytes_equal(const Bytes& a, const Bytes& b) noexcept {
    return a.span().size() == b.span().size() &&
           (a.span().empty() || std::memcmp(a.data(), b.data(), a.span().size()) == 0);
}

std::int32_t array_size(const TextArray& a) noexcept { return length_of(a.members_.size()); }

const Text& array_get(const TextArray& a, std::int32_t i) {
    if (i < 1) fatal_runtime_error(4);
    if (i > array_size(a)) fatal_runtime_error(1);
    return a.members_[static_cast<std::size_t>(i) - 1];
}

void array_append(TextArray& a, const Text& t) { a.members_.push_back(t); }

void array_append(TextArray& a, Text&& t) { a.members_.push_back(std::move(t)); }

}  // namespace vt
