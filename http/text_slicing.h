// Cutting a piece out of a text: between two markers, after a colon, before
// a separator, and the name of a name=value member.
#pragma once

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace vt {

// In a marker, this stands for the double quote: "#引号" in GBK.
inline constexpr const char* QUOTE_MARKER = "#\xD2\xFD\xBA\xC5";

Text text_between(const Text& text, const Text& left, const Text& right, std::optional<std::int32_t> start = std::nullopt,
                  bool ignore_case = false);
Text text_after_colon(const Text& text);
Text text_before(const Text& text, const Text& separator, std::optional<std::int32_t> start = std::nullopt,
                 bool ignore_case = false);
Text cookie_name(const Text& member);

}  // namespace vt
