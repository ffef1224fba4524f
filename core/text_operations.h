// Searching, cutting, replacing, trimming, splitting and converting texts.
// Positions are 1-based byte positions; -1 means not found. Wherever an
// operation walks a text character by character, a byte of 0x80 or above and
// the byte after it are one step.
#pragma once

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace vt {

// Searching.
std::int32_t find_text(const Text& t, const Text& what, std::optional<std::int32_t> start, bool ignore_case);
std::int32_t find_text_reverse(const Text& t, const Text& what, std::optional<std::int32_t> start, bool ignore_case);

// Cutting (these count bytes and may halve a two-byte character).
Text text_left(const Text& t, std::int32_t n);
Text text_right(const Text& t, std::int32_t n);
Text text_mid(const Text& t, std::int32_t start, std::int32_t n);

// Building and changing.
Text replace_text(const Text& t, const Text& what, const std::optional<Text>& with,
                  std::optional<std::int32_t> start, std::optional<std::int32_t> count, bool case_sensitive);
Text trim_text(const Text& t);
Text to_lower(const Text& t);
Text blank_text(std::int32_t n);
Text char_from_code(std::uint8_t c);
TextArray split_text(const Text& t, const Text& delimiter);

// Conversions.
std::int32_t text_to_int(const Text& t) noexcept;
Text int_to_text(std::int32_t i);

// Numbers.
std::int32_t bit_or(std::int32_t a, std::int32_t b) noexcept;
double real_mod(double x, double y) noexcept;

}  // namespace vt
