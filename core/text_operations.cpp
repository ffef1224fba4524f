#include "core/text_operations.h"

#include <cmath>
#include <cstring>
#include <string>

namespace vt {

namespace {

// Positions and counts are int32 at the edges but computed in 64 bits, so
// a start near INT32_MAX plus a length never wraps.
using Index = std::int64_t;

unsigned char byte_at(std::string_view s, Index i) noexcept { return static_cast<unsigned char>(s[static_cast<std::size_t>(i)]); }

bool starts_two_byte_character(unsigned char byte) noexcept { return byte >= 0x80; }

// How far one walking step moves from a byte: a byte of 0x80 or above and
// the one after it are a single character.
Index step_from(unsigned char byte) noexcept { return starts_two_byte_character(byte) ? 2 : 1; }

unsigned char ascii_lower(unsigned char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool equal_here(std::string_view s, Index at, std::string_view what, bool ignore_case) noexcept {
    if (!ignore_case) {
        return s[static_cast<std::size_t>(at)] == what[0] &&
               std::memcmp(s.data() + at, what.data(), what.size()) == 0;
    }
    for (std::size_t k = 0; k < what.size(); ++k) {
        unsigned char a = byte_at(s, at + static_cast<Index>(k));
        unsigned char b = static_cast<unsigned char>(what[k]);
        if (ignore_case) {
            a = ascii_lower(a);
            b = ascii_lower(b);
        }
        if (a != b) return false;
    }
    return true;
}

// The next position from `i` on, walking by characters, where a character
// begins with the ASCII byte `first`; or the length when there is none.
// memchr finds candidates. The byte after any ASCII byte begins a character,
// so a candidate is the second byte of a pair exactly when the run of bytes
// of 0x80 or above just before it (back to an ASCII byte or to `i`) is odd.
// Each run lies between two candidates, so the whole search stays linear.
Index next_character_starting_with(std::string_view s, Index i, unsigned char first) noexcept {
    const Index length = static_cast<Index>(s.size());
    const char* bytes = s.data();
    while (i < length) {
        const void* hit = std::memchr(bytes + i, first, static_cast<std::size_t>(length - i));
        if (hit == nullptr) return length;
        const Index candidate = static_cast<const char*>(hit) - bytes;
        Index run_start = candidate;
        while (run_start > i && starts_two_byte_character(static_cast<unsigned char>(bytes[run_start - 1]))) --run_start;
        if ((candidate - run_start) % 2 == 0) return candidate;
        i = candidate + 1;  // past the pair that holds the candidate
    }
    return length;
}

std::int32_t position(Index zero_based) noexcept { return static_cast<std::int32_t>(zero_based + 1); }

Text slice(const Text& t, Index from, Index count) {
    return Text(t, static_cast<std::size_t>(from), static_cast<std::size_t>(count));
}

}  // namespace

std::int32_t find_text(const Text& t, const Text& what, std::optional<std::int32_t> start, bool ignore_case) {
    const std::string_view s = t.view();
    const std::string_view w = what.view();
    const Index length = static_cast<Index>(s.size());
    const Index needle = static_cast<Index>(w.size());
    const Index window_start = (start && *start > 1) ? Index{*start} - 1 : 0;
    if (window_start >= length) return -1;
    if (needle == 0) return 1;
    const unsigned char first = static_cast<unsigned char>(w[0]);
    if (!ignore_case && !starts_two_byte_character(first)) {
        for (Index i = next_character_starting_with(s, window_start, first); length - i >= needle;
             i = next_character_starting_with(s, i + 1, first)) {
            if (equal_here(s, i, w, false)) return position(i);
        }
        return -1;
    }
    for (Index i = window_start; length - i >= needle; i += step_from(byte_at(s, i))) {
        if (equal_here(s, i, w, ignore_case)) return position(i);
    }
    return -1;
}

std::int32_t find_text_reverse(const Text& t, const Text& what, std::optional<std::int32_t> start, bool ignore_case) {
    const std::string_view s = t.view();
    const std::string_view w = what.view();
    const Index length = static_cast<Index>(s.size());
    const Index needle = static_cast<Index>(w.size());
    Index window_end = start ? Index{*start} - 1 : length;
    if (window_end < 0) window_end = 0;
    if (window_end > length) window_end = length;
    if (window_end == 0) return -1;
    if (needle == 0) return 1;
    Index last = -1;
    // An occurrence counts only when it ends within the window.
    for (Index i = 0; i + needle <= window_end; i += step_from(byte_at(s, i))) {
        if (equal_here(s, i, w, ignore_case)) last = i;
    }
    return last < 0 ? -1 : position(last);
}

Text text_left(const Text& t, std::int32_t n) {
    if (n <= 0) return {};
    return slice(t, 0, std::min<Index>(n, static_cast<Index>(t.view().size())));
}

Text text_right(const Text& t, std::int32_t n) {
    if (n <= 0) return {};
    const Index length = static_cast<Index>(t.view().size());
    const Index count = std::min<Index>(n, length);
    return slice(t, length - count, count);
}

Text text_mid(const Text& t, std::int32_t start, std::int32_t n) {
    const Index length = static_cast<Index>(t.view().size());
    if (start < 1 || start > length || n <= 0) return {};
    const Index from = Index{start} - 1;
    return slice(t, from, std::min<Index>(n, length - from));
}

Text replace_text(const Text& t, const Text& what, const std::optional<Text>& with, std::optional<std::int32_t> start,
                  std::optional<std::int32_t> count, bool case_sensitive) {
    const std::string_view s = t.view();
    const std::string_view w = what.view();
    const std::string_view replacement = with ? with->view() : std::string_view();
    const Index length = static_cast<Index>(s.size());
    const Index needle = static_cast<Index>(w.size());
    const Index walk_start = (start && *start > 1) ? Index{*start} - 1 : 0;
    if (length == 0 || needle == 0 || walk_start >= length || (count && *count == 0)) return t;

    std::string out(s.substr(0, static_cast<std::size_t>(walk_start)));
    Index i = walk_start;
    std::int64_t replaced = 0;
    while (length - i >= needle) {
        if (equal_here(s, i, w, !case_sensitive)) {
            out.append(replacement);
            i += needle;
            ++replaced;
            if (count && replaced == *count) break;
        } else {
            const Index step = std::min(step_from(byte_at(s, i)), length - i);
            out.append(s.substr(static_cast<std::size_t>(i), static_cast<std::size_t>(step)));
            i += step;
        }
    }
    if (i < length) out.append(s.substr(static_cast<std::size_t>(i)));
    return Text(std::move(out));
}

namespace {

// The width of a blank at `i` (a space, or the full-width space A1 A1), or 0.
Index blank_width(std::string_view s, Index i) noexcept {
    const Index length = static_cast<Index>(s.size());
    if (byte_at(s, i) == ' ') return 1;
    if (byte_at(s, i) == 0xA1 && i + 1 < length && byte_at(s, i + 1) == 0xA1) return 2;
    return 0;
}

}  // namespace

Text trim_text(const Text& t) {
    const std::string_view s = t.view();
    const Index length = static_cast<Index>(s.size());
    Index begin = 0;
    while (begin < length) {
        const Index width = blank_width(s, begin);
        if (width == 0) break;
        begin += width;
    }
    // Walking by characters, an A1 that is the second byte of another
    // character never starts a full-width space.
    Index trailing_run = -1;
    for (Index i = begin; i < length;) {
        const Index width = blank_width(s, i);
        if (width > 0) {
            if (trailing_run < 0) trailing_run = i;
            i += width;
        } else {
            trailing_run = -1;
            i += step_from(byte_at(s, i));
        }
    }
    const Index end = trailing_run >= 0 ? trailing_run : length;
    return slice(t, begin, end - begin);
}

Text to_lower(const Text& t) {
    std::string out(t.view());
    for (std::size_t i = 0; i < out.size();) {
        const unsigned char byte = static_cast<unsigned char>(out[i]);
        if (starts_two_byte_character(byte)) {
            i += 2;
        } else {
            out[i] = static_cast<char>(ascii_lower(byte));
            ++i;
        }
    }
    return Text(std::move(out));
}

Text blank_text(std::int32_t n) {
    if (n <= 0) return {};
    return Text(std::string(static_cast<std::size_t>(n), ' '));
}

Text char_from_code(std::uint8_t c) {
    const char byte = static_cast<char>(c);
    return Text(std::string_view(&byte, 1));
}

TextArray split_text(const Text& t, const Text& delimiter) {
    const std::string_view s = t.view();
    const std::string_view d = delimiter.view();
    const Index length = static_cast<Index>(s.size());
    const Index width = static_cast<Index>(d.size());
    TextArray pieces;
    if (length == 0) return pieces;
    if (width == 0) {
        array_append(pieces, t);
        return pieces;
    }
    Index piece_start = 0;
    Index i = 0;
    const unsigned char first = static_cast<unsigned char>(d[0]);
    const bool ascii_first = !starts_two_byte_character(first);
    while (length - i >= width) {
        if (ascii_first) {
            i = next_character_starting_with(s, i, first);
            if (length - i < width) break;
        }
        if (equal_here(s, i, d, false)) {
            array_append(pieces, slice(t, piece_start, i - piece_start));
            i += width;
            piece_start = i;
        } else {
            i += step_from(byte_at(s, i));
        }
    }
    if (piece_start < length) array_append(pieces, slice(t, piece_start, length - piece_start));
    return pieces;
}

std::int32_t text_to_int(const Text& t) noexcept {
    const std::string_view s = t.view();
    const Index length = static_cast<Index>(s.size());

    // Reads the next character after folding the full-width forms of
    // printable ASCII (A3 A1..A3 FE) and the full-width space (A1 A1).
    Index i = 0;
    auto next = [&](Index& width) -> int {
        if (i >= length) {
            width = 0;
            return -1;
        }
        const unsigned char byte = byte_at(s, i);
        if (starts_two_byte_character(byte) && i + 1 < length) {
            const unsigned char second = byte_at(s, i + 1);
            width = 2;
            if (byte == 0xA3 && second >= 0xA1 && second <= 0xFE) return second - 0x80;
            if (byte == 0xA1 && second == 0xA1) return ' ';
            return 0x100;  // some other two-byte character: no digit, sign or blank
        }
        width = 1;
        return byte;
    };

    Index width = 0;
    int c = next(width);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') {
        i += width;
        c = next(width);
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        i += width;
        c = next(width);
    }
    // Unsigned arithmetic wraps by definition, as the conversion requires.
    std::uint32_t value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
        i += width;
        c = next(width);
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

Text int_to_text(std::int32_t i) { return Text(std::to_string(i)); }

std::int32_t bit_or(std::int32_t a, std::int32_t b) noexcept { return a | b; }

double real_mod(double x, double y) noexcept { return x - y * std::trunc(x / y); }

}  // namespace vt
