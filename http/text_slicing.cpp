#include "http/text_slicing.h"

#include "core/text_operations.h"

namespace vt {

Text text_between(const Text& text, const Text& left, const Text& right, std::optional<std::int32_t> start,
                  bool ignore_case) {
    const Text quote("\"");
    const Text left_marker = replace_text(left, Text(QUOTE_MARKER), quote, std::nullopt, std::nullopt, true);
    const Text right_marker = replace_text(right, Text(QUOTE_MARKER), quote, std::nullopt, std::nullopt, true);
    std::int32_t p = find_text(text, left_marker, start.value_or(0), ignore_case);
    if (p != -1) p += text_length(left_marker);
    const std::int32_t q = find_text(text, right_marker, p, ignore_case);
    if (p == -1 || q == -1) return {};
    return text_mid(text, p, q - p);
}

Text text_after_colon(const Text& text) {
    const std::int32_t p = find_text(text, Text(":"), std::nullopt, false);
    const Text piece = p == -1 ? Text() : text_right(text, text_length(text) - p);
    return trim_text(piece);
}

Text text_before(const Text& text, const Text& separator, std::optional<std::int32_t> start, bool ignore_case) {
    const std::int32_t from = (!start || *start <= 0) ? 1 : *start;
    const std::int32_t p = find_text(text, separator, from, ignore_case);
    return p == -1 ? Text() : text_left(text, p - 1);
}

Text cookie_name(const Text& member) {
    const std::int32_t p = find_text(member, Text("="), std::nullopt, false);
    return trim_text(p == -1 ? member : text_left(member, p - 1));
}

}  // namespace vt
