#include "http/cookie_merge.h"

#include "core/text_operations.h"
#include "http/text_slicing.h"

namespace vt {

bool has_cookie(const TextArray& list, const Text& name) {
    for (std::int32_t i = 1; i <= array_size(list); ++i) {
        if (compare_text(cookie_name(array_get(list, i)), name) == 0) return true;
    }
    return false;
}

std::int32_t find_member(const TextArray& list, const Text& text) {
    for (std::int32_t i = 1; i <= array_size(list); ++i) {
        if (compare_text(array_get(list, i), text) == 0) return i;
    }
    return -1;
}

Text dedupe_members(const Text& text, const Text& separator) {
    const TextArray parts = split_text(text, separator);
    TextArray seen;
    Text out;
    for (std::int32_t i = 1; i <= array_size(parts); ++i) {
        const Text& member = array_get(parts, i);
        if (find_member(seen, member) != -1) continue;
        array_append(seen, member);
        out = concat_text(out, member, separator);
    }
    return text_left(out, text_length(out) - text_length(separator));
}

Text merge_cookies(Text& send_cookies, Text& returned_cookies) {
    send_cookies = trim_text(send_cookies);
    returned_cookies = trim_text(returned_cookies);
    const Text separator(";");
    const TextArray sent = split_text(send_cookies, separator);
    TextArray merged = split_text(returned_cookies, separator);
    for (std::int32_t i = 1; i <= array_size(sent); ++i) {
        const Text& member = array_get(sent, i);
        if (!has_cookie(merged, cookie_name(member))) array_append(merged, member);
    }
    Text out;
    for (std::int32_t i = 1; i <= array_size(merged); ++i) {
        const Text& member = array_get(merged, i);
        if (compare_text(text_right(member, 8), Text("=deleted")) != 0) out = concat_text(out, member, separator);
    }
    out = text_left(out, text_length(out) - 1);
    out = dedupe_members(out, separator);
    send_cookies = out;
    return out;
}

}  // namespace vt
