// The text operations, with the slicing helpers built on them, fed a text,
// a needle, a replacement and two numbers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/text_operations.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_input.h"
#include "http/text_slicing.h"

namespace vt::fuzz {

namespace {

unsigned char ascii_lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool same_bytes(std::string_view a, std::string_view b, bool ignore_case) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && !(ignore_case && ascii_lower(x) == ascii_lower(y))) return false;
    }
    return true;
}

bool is_piece_of(const Text& piece, const Text& whole) { return whole.view().find(piece.view()) != std::string_view::npos; }

// A position a search gave: -1, or where `what` really stands, wholly
// between `from` (0-based) and `to`.
void require_found_within(const Text& t, const Text& what, std::int32_t found, std::int64_t from, std::int64_t to,
                          bool ignore_case) {
    if (found == -1) return;
    const std::string_view s = t.view(), w = what.view();
    if (w.empty()) {
        require(found == 1, "an empty needle is found at 1 or not at all");
        return;
    }
    const std::int64_t at = std::int64_t{found} - 1;
    require(at >= from && at + std::int64_t(w.size()) <= to, "a search finds within its window");
    require(same_bytes(s.substr(static_cast<std::size_t>(at), w.size()), w, ignore_case), "a search finds the needle");
}

void check_searches(const Text& t, const Text& what, std::int32_t start, bool ignore_case) {
    const std::int64_t length = text_length(t);
    require_found_within(t, what, find_text(t, what, std::nullopt, ignore_case), 0, length, ignore_case);
    const std::int64_t from = start > 1 ? std::int64_t{start} - 1 : 0;
    require_found_within(t, what, find_text(t, what, start, ignore_case), from, length, ignore_case);
    require_found_within(t, what, find_text_reverse(t, what, std::nullopt, ignore_case), 0, length, ignore_case);
    const std::int64_t end = std::clamp<std::int64_t>(std::int64_t{start} - 1, 0, length);
    require_found_within(t, what, find_text_reverse(t, what, start, ignore_case), 0, end, ignore_case);
}

void check_cuts(const Text& t, std::int32_t start, std::int32_t n) {
    const std::string_view s = t.view();
    const std::int64_t length = std::int64_t(s.size());
    const auto kept = static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, length));
    require(text_left(t, n).view() == s.substr(0, kept), "text_left keeps the first n bytes");
    require(text_right(t, n).view() == s.substr(s.size() - kept), "text_right keeps the last n bytes");
    const bool empty_mid = start < 1 || start > length || n <= 0;
    const std::string_view mid = empty_mid ? std::string_view() : s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n));
    require(text_mid(t, start, n).view() == mid, "text_mid keeps n bytes from start, clipped");
}

void check_replace(const Text& t, const Text& what, const std::optional<Text>& with, std::optional<std::int32_t> start,
                   std::optional<std::int32_t> count, bool case_sensitive) {
    const Text replaced = replace_text(t, what, with, start, count, case_sensitive);
    if (count && *count == 0) require(replaced == t, "no replacement leaves the text as it was");
    if (!what.empty() && find_text(t, what, start, !case_sensitive) == -1) {
        require(replaced == t, "what a search does not find is not replaced");
    }
    require(replace_text(t, what, what, start, count, true) == t, "replacing a needle by itself changes nothing");
}

void check_split(const Text& t, const Text& delimiter) {
    const TextArray pieces = split_text(t, delimiter);
    if (t.empty()) {
        require(array_size(pieces) == 0, "an empty text splits into no pieces");
        return;
    }
    std::string joined;
    for (const Text& piece : pieces) {
        if (&piece != &*pieces.begin()) joined += delimiter.view();
        joined += piece.view();
    }
    require(joined == t.view() || joined + std::string(delimiter.view()) == t.view(),
            "the pieces joined by the delimiter give the text back");
}

void check_trim_and_case(const Text& t) {
    const Text trimmed = trim_text(t);
    require(is_piece_of(trimmed, t), "a trimmed text is a piece of the text");
    require(!trimmed.view().starts_with(' ') && !trimmed.view().starts_with("\xA1\xA1"), "a trimmed text begins with no blank");
    require(text_length(to_lower(t)) == text_length(t), "lower case keeps the length");
}

void check_numbers(std::int32_t a, std::int32_t b, std::uint8_t code) {
    require(text_to_int(int_to_text(a)) == a, "a number written as text reads back");
    // Beyond a few thousand, blank_text only measures the allocator.
    const std::int32_t blanks = a % 4096;
    require(text_length(blank_text(blanks)) == std::max(blanks, 0), "blank_text gives n spaces");
    require(text_length(char_from_code(code)) == (code == 0 ? 0 : 1), "char_from_code gives one byte, none for 0");
    bit_or(a, b);
    if (b != 0) {  // no caller divides by zero
        const double r = real_mod(a, b);
        require(std::fabs(r) < std::fabs(double(b)) && (r == 0 || std::signbit(r) == (a < 0)),
                "the remainder is smaller than the divisor and takes the sign of x");
    }
}

void check_slicing(const Text& t, const Text& left, const Text& right, std::optional<std::int32_t> start, bool ignore_case) {
    require(is_piece_of(text_between(t, left, right, start, ignore_case), t), "text_between gives a piece of the text");
    require(is_piece_of(text_before(t, left, start, ignore_case), t), "text_before gives a piece of the text");
    require(is_piece_of(text_after_colon(t), t), "text_after_colon gives a piece of the text");
    require(is_piece_of(cookie_name(t), t), "cookie_name gives a piece of the text");
}

}  // namespace

// Input: flags (ignore case, start given, count given, replacement given),
// two int32 numbers, then text, needle and replacement.
void fuzz_text_operations(std::span<const std::uint8_t> bytes) {
    FuzzInput in(bytes);
    const std::uint8_t flags = in.byte();
    const std::int32_t a = in.int32(), b = in.int32();
    const Text t = in.text(), what = in.text(), replacement = in.text();
    const bool ignore_case = flags & 1;
    const std::optional<std::int32_t> start = (flags & 2) ? std::optional(a) : std::nullopt;
    const std::optional<std::int32_t> count = (flags & 4) ? std::optional(b) : std::nullopt;
    const std::optional<Text> with = (flags & 8) ? std::optional(replacement) : std::nullopt;

    check_searches(t, what, a, ignore_case);
    check_cuts(t, a, b);
    check_replace(t, what, with, start, count, !ignore_case);
    check_split(t, what);
    check_trim_and_case(t);
    text_to_int(t);
    check_numbers(a, b, flags);
    check_slicing(t, what, replacement, start, ignore_case);
}

}  // namespace vt::fuzz
