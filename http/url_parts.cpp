#include "http/url_parts.h"

#include "core/text_operations.h"
#include "http/text_slicing.h"

namespace vt {

namespace {

// The host by the markers "https://" and "http://".
Text host_by_markers(Text t, bool domain_only) {
    if (compare_text(text_right(t, 1), Text("/")) != 0) t = concat_text(t, "/");
    if (compare_text(text_left(t, 8), Text("https://")) == 0) {
        t = text_between(t, Text("https://"), Text("/"));
    } else {
        if (find_text(t, Text("http://"), std::nullopt, false) == -1) t = concat_text("http://", t);
        t = text_between(t, Text("http://"), Text("/"));
    }
    if (domain_only) {
        const TextArray labels = split_text(t, Text("."));
        const std::int32_t n = array_size(labels);
        if (n > 1) t = concat_text(array_get(labels, n - 1), ".", array_get(labels, n));
    }
    return t;
}

// The host cut to the last suffix_dots + 2 labels (+ 1 with domain_only).
Text host_by_counting(Text t, bool domain_only, std::int32_t suffix_dots) {
    t = replace_text(t, Text("http://"), std::nullopt, std::nullopt, std::nullopt, true);
    t = replace_text(t, Text("https://"), std::nullopt, std::nullopt, std::nullopt, true);
    const std::int32_t slash = find_text(t, Text("/"), std::nullopt, false);
    if (slash != -1) t = text_left(t, slash - 1);
    const std::int32_t length = text_length(t);
    std::int32_t h = length;
    // Once no dot is left, h stays -1: the passes after that change nothing,
    // and a suffix_dots near INT32_MAX would spin for seconds.
    for (std::int32_t pass = 0; pass < suffix_dots && h != -1; ++pass) h = find_text_reverse(t, Text("."), h, false);
    const std::int32_t d = find_text_reverse(t, Text("."), h, false);
    if (domain_only) return text_right(t, length - d);
    if (d != -1) {
        const std::int32_t e = find_text_reverse(t, Text("."), d, false);
        if (e != -1) return text_right(t, length - e);
    }
    return t;
}

}  // namespace

Text url_host(const Text& url_text, bool domain_only, bool keep_port, std::optional<std::int32_t> suffix_dots) {
    const Text lowered = to_lower(url_text);
    Text t = suffix_dots ? host_by_counting(lowered, domain_only, *suffix_dots) : host_by_markers(lowered, domain_only);
    if (keep_port) return t;
    const std::int32_t colon = find_text(t, Text(":"), std::nullopt, false);
    return colon == -1 ? t : text_left(t, colon - 1);
}

std::int32_t url_port(const Text& url_text) {
    const Text q = url_host(url_text, false, true);
    const std::int32_t a = find_text_reverse(q, Text(":"), std::nullopt, false);
    if (a == -1) return compare_text(to_lower(text_left(url_text, 5)), Text("https")) == 0 ? 443 : 80;
    return text_to_int(text_right(q, text_length(q) - a));
}

Text url_path(const Text& url_text) {
    const Text q = url_host(url_text);
    const std::int32_t a = find_text(url_text, q, 1, true);
    const std::int32_t b = find_text(url_text, Text("/"), a, true);
    if (b <= 0) return Text("/");
    return text_right(url_text, text_length(url_text) - b + 1);
}

}  // namespace vt
